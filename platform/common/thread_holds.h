// Which thread holds which file, across the process. A target's own hold
// (flock, a named mutex) keeps a thread's second hold of a file waiting
// for itself forever, or grants it again; with this record that second
// hold fails at once instead.
#pragma once

#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace zanole {

// File: what names a file for the target's hold.
template <class File>
class ThreadHolds {
 public:
  // A file as held by the calling thread.
  using Holder = std::pair<File, std::thread::id>;
  static Holder ByThisThread(File file) { return Holder(std::move(file), std::this_thread::get_id()); }

  bool Has(const Holder& holder) const {
    std::lock_guard<std::mutex> lock(lock_);
    return holders_.count(holder) != 0;
  }
  // May raise std::bad_alloc, and then records nothing.
  void Add(const Holder& holder) {
    std::lock_guard<std::mutex> lock(lock_);
    holders_.insert(holder);
  }
  void Remove(const Holder& holder) noexcept {
    std::lock_guard<std::mutex> lock(lock_);
    holders_.erase(holder);
  }

 private:
  mutable std::mutex lock_;
  std::set<Holder> holders_;
};

}  // namespace zanole
