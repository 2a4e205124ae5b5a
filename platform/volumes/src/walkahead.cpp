// The read-ahead walk: folders opened and listed on worker threads ahead of a depth-first walk.
//
// Every folder of the tree that the walk may enter is a node. A node is made, waiting, when its
// parent's listing holds it as a directory entry; a worker (or the walk itself, when it gets
// there first) opens it relative to its parent and lists it. Workers always take the waiting
// node that comes first in the walk's order (depth first, in listing order), so that what the
// walk needs next is ready first, and stop while the nodes listed ahead of the walk reach the
// bounds, starting again in one batch once the walk has taken half of what they read. A
// folder's descriptor is closed by the thread that opens its last subfolder, or as soon as it is
// listed when it has none. Nodes below a folder the walk leaves or skips are dropped.
//
// The walk enters a folder already listed, and leaves one, without the lock: a node's state
// becomes Listed last, after its listing and subfolders are in place, and from then on only the
// walk's thread changes the node (the workers' lock is taken only for a node not yet listed, a
// drop, a batch of left nodes, or to wake stopped workers). Taking the lock for every folder would
// make the workers wait for it, and each unlock that wakes one costs the walk its processor.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "volumes.h"

namespace volumes {

namespace {

// Folders the walk has left, freed by a worker once there are this many: their listings were
// made by the workers, and freeing them there keeps the walk's thread out of the workers' heaps.
constexpr std::size_t kRetireBatch = 64;

}  // namespace

struct WalkAhead::Node {
  enum class State { Waiting, Listing, Listed };
  std::weak_ptr<Node> parent;
  std::size_t entryIndex = 0;        // its entry in the parent's listing
  std::vector<std::uint32_t> order;  // entry indices from the top: the walk's order
  std::atomic<State> state{State::Waiting};
  bool dropped = false;            // under the lock
  std::atomic<bool> taken{false};  // entered by the walk
  Folder folder;                   // open while a subfolder is still to be opened from it
  Listing listing;
  // Subfolders neither opened nor dropped yet; the thread that takes it to zero closes `folder`.
  std::atomic<std::size_t> unopened{0};
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
  explicit Shared(Bounds b) : bounds(b) {}
  const Bounds bounds;
  std::mutex mutex;
  std::condition_variable work;  // a node is waiting, or room ahead was made, or the end
  std::condition_variable done;  // a node was listed
  std::set<std::shared_ptr<Node>, Earlier> waiting;
  std::vector<std::shared_ptr<Node>> retired;  // left by the walk, to be freed by a worker
  // Listed or listing, not yet entered (the walk takes entered ones off without the lock).
  std::atomic<std::size_t> foldersAhead{0}, entriesAhead{0};
  // A bound was reached: no folder is taken until the walk catches up (set under the lock).
  std::atomic<bool> paused{false};
  std::size_t idle = 0;  // workers waiting for work
  bool stop = false;
  std::vector<std::thread> threads;

  bool Ready() const { return !paused.load(std::memory_order_relaxed) && !waiting.empty(); }

  // After what is held ahead grew.
  void PauseAtBounds() {
    if (foldersAhead >= bounds.folders || entriesAhead >= bounds.entries) paused = true;
  }
  // After what is held ahead shrank: the stopped workers start again, all at once.
  // Stopped workers start again below half the bounds: waking them for every folder the walk
  // enters would cost a wake-up and a sleep per folder.
  bool BelowResume() const { return foldersAhead <= bounds.folders / 2 && entriesAhead <= bounds.entries / 2; }
  void ResumeBelowBounds() {
    if (Unpause()) work.notify_all();
  }
  // Ends a pause once below the marks (the lock is held): whether idle workers are to be woken.
  bool Unpause() {
    if (!paused.load(std::memory_order_relaxed) || !BelowResume()) return false;
    paused.store(false, std::memory_order_relaxed);
    return idle && !waiting.empty();
  }
  // Wakes the idle workers for `added` new waiting folders.
  void WakeFor(std::size_t added) {
    if (!idle || paused || !added) return;
    if (added >= idle) {
      work.notify_all();
    } else {
      for (std::size_t i = 0; i < added; ++i) work.notify_one();
    }
  }

  // A subfolder of `parent` was opened or dropped unopened: the last one closes the parent's
  // descriptor (every other subfolder is done with it by then).
  static void Opened(Node& parent) {
    if (parent.unopened.fetch_sub(1, std::memory_order_acq_rel) == 1) parent.folder = Folder();
  }

  // Opens and lists `node` (its state is Listing, the lock is held and let go meanwhile), then,
  // under the lock, makes its subfolders wait.
  void List(const std::shared_ptr<Node>& node, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    Folder folder;
    Listing listing;
    if (std::shared_ptr<Node> parent = node->parent.lock()) {
      folder = parent->folder.OpenSubfolder(parent->listing.entries[node->entryIndex]);
      Opened(*parent);
    }
    ReadListing(folder, listing);
    std::vector<std::pair<std::size_t, std::shared_ptr<Node>>> children = MakeChildren(node, listing);
    if (children.empty()) folder = Folder();  // nothing is opened from it: closed here, not by the walk
    lock.lock();
    node->folder = std::move(folder);
    node->listing = std::move(listing);
    // The walk sets `taken` of a node in this state only under the lock.
    const bool taken = node->taken.load(std::memory_order_relaxed);
    if (!taken && !node->dropped) {
      entriesAhead += node->listing.entries.size();
      PauseAtBounds();
    }
    if (!node->dropped) Queue(node, std::move(children), taken ? 0 : 1);
    // Last: from here the walk may take it. When it has taken it already, it is waiting for it.
    node->state.store(Node::State::Listed, std::memory_order_release);
    if (taken) done.notify_all();
  }

  static void ReadListing(Folder& folder, Listing& listing) {
    listing.open = folder.IsOpen();
    if (!listing.open) return;
    DirEntry e;
    while (folder.Next(e)) listing.entries.push_back(std::move(e));
    listing.complete = GetLastError() == ERROR_NO_MORE_FILES;
  }

  // The subfolders of `node`, whose listing is `listing`, by entry index (no lock needed: nothing
  // else sees them yet).
  static std::vector<std::pair<std::size_t, std::shared_ptr<Node>>> MakeChildren(const std::shared_ptr<Node>& node,
                                                                                 const Listing& listing) {
    std::vector<std::pair<std::size_t, std::shared_ptr<Node>>> children;
    const std::vector<DirEntry>& entries = listing.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!entries[i].directory) continue;
      auto child = std::make_shared<Node>();
      child->parent = node;
      child->entryIndex = i;
      child->order.reserve(node->order.size() + 1);
      child->order = node->order;
      child->order.push_back(static_cast<std::uint32_t>(i));
      children.emplace_back(i, std::move(child));
    }
    return children;
  }

  // Gives `node` its subfolders and makes them wait for a worker (the lock is held); `busy` of
  // them will be taken by the calling worker itself, the others wake idle ones.
  void Queue(const std::shared_ptr<Node>& node, std::vector<std::pair<std::size_t, std::shared_ptr<Node>>> children,
             std::size_t busy) {
    node->unopened.store(children.size(), std::memory_order_relaxed);
    node->children = std::move(children);
    if (threads.empty()) return;
    for (auto& c : node->children) waiting.insert(c.second);
    const std::size_t made = node->children.size();
    WakeFor(made > busy ? made - busy : 0);
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
        if (std::shared_ptr<Node> parent = n->parent.lock()) Opened(*parent);
      } else if (!n->taken.load(std::memory_order_relaxed)) {
        --foldersAhead;
        if (n->state == Node::State::Listed) entriesAhead -= n->listing.entries.size();
      }
      for (auto& c : n->children) {
        if (c.second) todo.push_back(std::move(c.second));
      }
      n->children.clear();
    }
    ResumeBelowBounds();
  }

  void Work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      if (!retired.empty()) {
        std::vector<std::shared_ptr<Node>> spent;
        spent.swap(retired);
        lock.unlock();
        spent.clear();
        lock.lock();
        continue;
      }
      if (!stop && !Ready()) {
        ++idle;
        work.wait(lock, [&] { return stop || Ready() || !retired.empty(); });
        --idle;
        continue;
      }
      if (stop) return;
      std::shared_ptr<Node> node = *waiting.begin();
      waiting.erase(waiting.begin());
      node->state.store(Node::State::Listing, std::memory_order_relaxed);
      ++foldersAhead;
      PauseAtBounds();
      List(node, lock);
    }
  }
};

WalkAhead::WalkAhead(Folder top, unsigned workers, Bounds bounds)
    : shared_(std::make_shared<Shared>(
          Bounds{std::max<std::size_t>(bounds.folders, 1), std::max<std::size_t>(bounds.entries, 1)})) {
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
  retiring_.clear();
}

unsigned WalkAhead::DefaultWorkers() {
  const unsigned n = std::thread::hardware_concurrency();
  return std::clamp(n / 2, 1u, 4u);
}

const WalkAhead::Listing& WalkAhead::Top() {
  Node& top = *stack_.front();
  Shared::ReadListing(top.folder, top.listing);
  auto children = Shared::MakeChildren(stack_.front(), top.listing);
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->Queue(stack_.front(), std::move(children), 0);
  top.state.store(Node::State::Listed, std::memory_order_release);
  return top.listing;
}

const WalkAhead::Listing& WalkAhead::Enter(std::size_t index) {
  Shared& s = *shared_;
  std::shared_ptr<Node> node = stack_.back()->Child(index);
  if (node && node->state.load(std::memory_order_acquire) == Node::State::Listed) {
    // Listed ahead: no worker changes it any more.
    if (!node->taken.exchange(true, std::memory_order_relaxed)) {
      s.foldersAhead.fetch_sub(1, std::memory_order_relaxed);
      s.entriesAhead.fetch_sub(node->listing.entries.size(), std::memory_order_relaxed);
    }
    if (s.paused.load(std::memory_order_relaxed) && s.BelowResume()) {
      // Never waited for: a worker holding the lock is at work already, and the next folder
      // entered tries again. Woken after the unlock, so that no worker wakes to wait for it.
      std::unique_lock<std::mutex> lock(s.mutex, std::try_to_lock);
      if (lock.owns_lock()) {
        const bool wake = s.Unpause();
        lock.unlock();
        if (wake) s.work.notify_all();
      }
    }
    stack_.push_back(node);
    return node->listing;
  }
  std::unique_lock<std::mutex> lock(s.mutex);
  if (!node) {
    // Not a folder the listing can enter (a bad index): an empty folder that cannot be opened.
    node = std::make_shared<Node>();
    node->taken.store(true, std::memory_order_relaxed);
    node->state.store(Node::State::Listed, std::memory_order_relaxed);
  }
  switch (node->state.load(std::memory_order_relaxed)) {
    case Node::State::Waiting:  // not started: the walk lists it itself
      s.waiting.erase(node);
      node->state.store(Node::State::Listing, std::memory_order_relaxed);
      node->taken.store(true, std::memory_order_relaxed);
      s.List(node, lock);
      break;
    case Node::State::Listing:
      node->taken.store(true, std::memory_order_relaxed);
      --s.foldersAhead;
      s.done.wait(lock, [&] { return node->state.load(std::memory_order_relaxed) == Node::State::Listed; });
      break;
    case Node::State::Listed:  // made listed just now
      if (!node->taken.load(std::memory_order_relaxed)) {
        node->taken.store(true, std::memory_order_relaxed);
        --s.foldersAhead;
        s.entriesAhead -= node->listing.entries.size();
      }
      break;
  }
  s.ResumeBelowBounds();
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
  // Subfolders not entered are dropped; usually every one was entered and left already.
  if (std::any_of(node->children.begin(), node->children.end(), [](const auto& c) { return c.second != nullptr; })) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    for (auto& c : node->children) {
      if (c.second) shared_->Drop(c.second);
    }
  }
  node->children.clear();
  // The parent no longer holds it: its descriptor is closed once no worker uses it.
  if (!stack_.empty()) {
    if (std::shared_ptr<Node>* slot = stack_.back()->Slot(node->entryIndex)) slot->reset();
  }
  if (shared_->threads.empty()) return;
  retiring_.push_back(std::move(node));
  if (retiring_.size() < kRetireBatch) return;
  // Handed over when the lock is free; else at a later folder (a worker holds it, busy).
  std::unique_lock<std::mutex> lock(shared_->mutex, std::try_to_lock);
  if (!lock.owns_lock()) return;
  std::vector<std::shared_ptr<Node>>& retired = shared_->retired;
  if (retired.empty()) {
    retired.swap(retiring_);
  } else {
    retired.insert(retired.end(), std::make_move_iterator(retiring_.begin()), std::make_move_iterator(retiring_.end()));
    retiring_.clear();
  }
  const bool wake = shared_->idle != 0;
  lock.unlock();
  if (wake) shared_->work.notify_one();
}

}  // namespace volumes
