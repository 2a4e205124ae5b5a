// The designer's picture store: each picture object's image and its file's bytes, by slot.
// The canvas shows the images, printing draws them and the template files store the bytes, so
// all three read this one store (the key of slot i is "K" & i, as the image list names it).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <map>
#include <utility>

namespace designer {

class PictureStore {
 public:
  struct Entry {
    QImage image;
    QByteArray bytes;  // the picture file as read, stored again by a template save
  };

  static QString Key(int slot) { return QStringLiteral("K") + QString::number(slot); }

  // Puts (or replaces) the picture of a slot.
  void Put(int slot, QImage image, QByteArray bytes) {
    entries_[slot] = Entry{std::move(image), std::move(bytes)};
  }
  const Entry* Find(int slot) const {
    auto it = entries_.find(slot);
    return it == entries_.end() ? nullptr : &it->second;
  }
  bool Contains(int slot) const { return entries_.count(slot) != 0; }
  void Remove(int slot) { entries_.erase(slot); }
  // Moves a slot's picture to another slot (packing the arrays); the target's picture goes.
  void Move(int from, int to) {
    if (from == to) return;
    auto it = entries_.find(from);
    if (it == entries_.end()) {
      entries_.erase(to);
      return;
    }
    Entry moved = std::move(it->second);
    entries_.erase(it);
    entries_[to] = std::move(moved);
  }
  void Clear() { entries_.clear(); }
  bool Empty() const { return entries_.empty(); }

 private:
  std::map<int, Entry> entries_;
};

}  // namespace designer
