#pragma once
// Decoding the frames of a scan run ahead of it, on threads of their own.

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/context.h"
#include "common/raster.h"

namespace km {

// The frames that follow the loaded one, decoded while the scan run works
// on the frame before them. LoadFrame hands them over in order, installed
// exactly as LoadSequenceFrame installs a frame, with the same result: the
// run's output does not depend on the number of threads.
//
// At most threads + 1 frames are read ahead of the one the run asked for
// last, and none after the first frame that does not decode. The thread
// that calls LoadFrame decodes too, whenever the frame it needs, or a later
// one within that bound, has not been started yet; only that thread touches
// the Context. The destructor stops and joins the workers.
class FramePrefetcher {
 public:
  // threads: how many threads decode, the caller's included (threads - 1
  // workers start, fewer if the system refuses one). Nothing is decoded
  // ahead when threads < 2, when the sequence's extension names no frame
  // format or when its number text is not an integer: LoadFrame is then
  // LoadSequenceFrame.
  FramePrefetcher(const Context& ctx, int threads);
  ~FramePrefetcher();
  FramePrefetcher(const FramePrefetcher&) = delete;
  FramePrefetcher& operator=(const FramePrefetcher&) = delete;

  // Frame k into the working raster and the view, as LoadSequenceFrame(ctx,
  // k) does. The run asks for frames 1, 2, 3, ...; asked for any other
  // frame, the prefetcher stops and loads it as LoadSequenceFrame does. An
  // exception the decoder raised for frame k is raised here.
  bool LoadFrame(Context& ctx, int k);

  // How many frame files have been opened for decoding so far.
  int FramesStarted() const;

 private:
  enum class SlotState { Empty, Pending, Decoding, Done };
  struct Slot {
    int k = 0;
    SlotState state = SlotState::Empty;
    bool decoded = false;
    std::exception_ptr error;
    Raster raster;
  };

  Slot& SlotOf(int k) { return slots_[static_cast<size_t>(k) % slots_.size()]; }
  Slot* FirstPending();
  void Queue();
  void Decode(Slot& slot, std::unique_lock<std::mutex>& lock);
  void Work();
  void Stop();

  std::string extension_;
  std::vector<std::string> paths_;  // of frames 0 to the last one a run loads
  std::vector<Slot> slots_;         // frame k in slot k mod size
  int next_ = 1;                    // the frame LoadFrame hands over next
  int queued_ = 0;                  // frames next_ to queued_ are in slots
  int failedAt_;                    // the first frame known not to decode
  int started_ = 0;
  bool active_ = false;
  bool stop_ = false;
  mutable std::mutex mutex_;
  std::condition_variable pending_;  // a frame to decode, or stop
  std::condition_variable done_;     // a frame decoded
  std::vector<std::thread> workers_;
};

}  // namespace km
