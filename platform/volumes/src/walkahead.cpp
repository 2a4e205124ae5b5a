// The read-ahead walk: folders opened and listed on worker threads ahead of a depth-first walk.
//
// Every folder of the tree that the walk may enter is a node. A node is made, waiting, when its
// parent's listing holds it as a directory entry; a worker (or the walk itself, when it gets
// there first) opens it relative to its parent and lists it. Workers always take the waiting
// node that comes first in the walk's order (depth first, in listing order), so that what the
// walk needs next is ready first, and stop while the nodes listed ahead of the walk reach the
// bounds. Nodes below a folder the walk leaves or skips are dropped.
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "volumes.h"

namespace volumes {

namespace {

// Bounds of what is read ahead of the walk: open folders, and entries held.
constexpr std::size_t kMaxFoldersAhead = 256;
constexpr std::size_t kMaxEntriesAhead = 65536;

}  // namespace

struct WalkAhead::Node {
  enum class State { Waiting, Listing, Listed };
  std::weak_ptr<Node> parent;
  std::size_t entryIndex = 0;        // its entry in the parent's listing
  std::vector<std::uint32_t> order;  // entry indices from the top: the walk's order
  State state = State::Waiting;
  bool dropped = false;
  bool taken = false;  // entered by the walk
  Folder folder;
  Listing listing;
  // Subfolders by entry index, made once the listing is read.
  std::vector<std::pair<std::size_t, std::shared_ptr<Node>>> children;

  std::shared_ptr<Node>* Slot(std::size_t index) {
    auto it = std::lower_bound(children.begin(), children.end(), index,
                               [](const auto& c, std::size_t i) { return c.first < i; });
    return it != children.end() && it->first == index && it->second ? &it->second : nullptr;
  }
  std::shared_ptr<Node> Child(std::size_t index) {
    std::shared_ptr<Node>* slot = Slot(index);
    return slot ? *slot : nullptr;
  }
};

struct WalkAhead::Shared {
  struct Earlier {
    bool operator()(const std::shared_ptr<Node>& a, const std::shared_ptr<Node>& b) const {
      return a->order < b->order;
    }
  };
  std::mutex mutex;
  std::condition_variable work;  // a node is waiting, or room ahead was made, or the end
  std::condition_variable done;  // a node was listed
  std::set<std::shared_ptr<Node>, Earlier> waiting;
  std::size_t foldersAhead = 0, entriesAhead = 0;  // listed or listing, not yet entered
  bool stop = false;
  std::vector<std::thread> threads;

  bool Room() const { return foldersAhead < kMaxFoldersAhead && entriesAhead < kMaxEntriesAhead; }

  // Opens and lists `node` (its state is Listing, the lock is not held), then, under the lock,
  // makes its subfolders wait.
  void List(const std::shared_ptr<Node>& node, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    Folder folder;
    Listing listing;
    if (std::shared_ptr<Node> parent = node->parent.lock()) {
      folder = parent->folder.OpenSubfolder(parent->listing.entries[node->entryIndex]);
    }
    ReadListing(folder, listing);
    lock.lock();
    node->folder = std::move(folder);
    node->listing = std::move(listing);
    node->state = Node::State::Listed;
    if (!node->taken && !node->dropped) entriesAhead += node->listing.entries.size();
    if (!node->dropped) MakeChildren(node);
    done.notify_all();
  }

  static void ReadListing(Folder& folder, Listing& listing) {
    listing.open = folder.IsOpen();
    if (!listing.open) return;
    DirEntry e;
    while (folder.Next(e)) listing.entries.push_back(std::move(e));
    listing.complete = GetLastError() == ERROR_NO_MORE_FILES;
  }

  void MakeChildren(const std::shared_ptr<Node>& node) {
    const std::vector<DirEntry>& entries = node->listing.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!entries[i].directory) continue;
      auto child = std::make_shared<Node>();
      child->parent = node;
      child->entryIndex = i;
      child->order = node->order;
      child->order.push_back(static_cast<std::uint32_t>(i));
      node->children.emplace_back(i, child);
      if (!threads.empty()) waiting.insert(child);
    }
    if (!threads.empty() && !node->children.empty()) work.notify_all();
  }

  // Drops `node` and everything below it (the lock is held).
  void Drop(const std::shared_ptr<Node>& node) {
    std::vector<std::shared_ptr<Node>> todo{node};
    while (!todo.empty()) {
      std::shared_ptr<Node> n = std::move(todo.back());
      todo.pop_back();
      if (n->dropped) continue;
      n->dropped = true;
      if (n->state == Node::State::Waiting) {
        waiting.erase(n);
      } else if (!n->taken) {
        --foldersAhead;
        if (n->state == Node::State::Listed) entriesAhead -= n->listing.entries.size();
      }
      for (auto& c : n->children) {
        if (c.second) todo.push_back(std::move(c.second));
      }
      n->children.clear();
    }
    work.notify_all();
  }

  void Work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      work.wait(lock, [&] { return stop || (!waiting.empty() && Room()); });
      if (stop) return;
      std::shared_ptr<Node> node = *waiting.begin();
      waiting.erase(waiting.begin());
      node->state = Node::State::Listing;
      ++foldersAhead;
      List(node, lock);
    }
  }
};

WalkAhead::WalkAhead(Folder top, unsigned workers) : shared_(std::make_shared<Shared>()) {
  auto node = std::make_shared<Node>();
  node->folder = std::move(top);
  node->taken = true;
  stack_.push_back(std::move(node));
  for (unsigned i = 0; i < workers; ++i) {
    try {
      shared_->threads.emplace_back([s = shared_.get()] { s->Work(); });
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the walk reads ahead with those it has, or lists for itself
    }
  }
}

WalkAhead::~WalkAhead() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stop = true;
  }
  shared_->work.notify_all();
  for (std::thread& t : shared_->threads) t.join();
}

unsigned WalkAhead::DefaultWorkers() {
  const unsigned n = std::thread::hardware_concurrency();
  return std::clamp(n / 2, 1u, 4u);
}

const WalkAhead::Listing& WalkAhead::Top() {
  Node& top = *stack_.front();
  Shared::ReadListing(top.folder, top.listing);
  top.state = Node::State::Listed;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->MakeChildren(stack_.front());
  return top.listing;
}

const WalkAhead::Listing& WalkAhead::Enter(std::size_t index) {
  Shared& s = *shared_;
  std::unique_lock<std::mutex> lock(s.mutex);
  std::shared_ptr<Node> node = stack_.back()->Child(index);
  if (!node) {
    // Not a folder the listing can enter (a bad index): an empty folder that cannot be opened.
    node = std::make_shared<Node>();
    node->state = Node::State::Listed;
  }
  switch (node->state) {
    case Node::State::Waiting:  // not started: the walk lists it itself
      s.waiting.erase(node);
      node->state = Node::State::Listing;
      node->taken = true;
      s.List(node, lock);
      break;
    case Node::State::Listing:
      node->taken = true;
      --s.foldersAhead;
      s.done.wait(lock, [&] { return node->state == Node::State::Listed; });
      break;
    case Node::State::Listed:
      if (!node->taken) {
        node->taken = true;
        --s.foldersAhead;
        s.entriesAhead -= node->listing.entries.size();
      }
      break;
  }
  s.work.notify_all();
  stack_.push_back(node);
  return node->listing;
}

void WalkAhead::Skip(std::size_t index) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  Node& here = *stack_.back();
  if (std::shared_ptr<Node>* slot = here.Slot(index)) {
    shared_->Drop(*slot);
    slot->reset();
  }
}

void WalkAhead::Leave() {
  std::shared_ptr<Node> node = std::move(stack_.back());
  stack_.pop_back();
  std::lock_guard<std::mutex> lock(shared_->mutex);
  for (auto& c : node->children) {
    if (c.second) shared_->Drop(c.second);
  }
  node->children.clear();
  // The parent no longer holds it: its descriptor is closed once no worker uses it.
  if (!stack_.empty()) {
    if (std::shared_ptr<Node>* slot = stack_.back()->Slot(node->entryIndex)) slot->reset();
  }
}

}  // namespace volumes
