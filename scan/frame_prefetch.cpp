#include "scan/frame_prefetch.h"

#include <QImageReader>
#include <cstdint>
#include <limits>
#include <mutex>
#include <system_error>
#include <utility>

#include "app/frame_decoders.h"
#include "app/frame_loading.h"
#include "common/errors.h"
#include "scan/point_cloud_store.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace km {
namespace {

// Qt's cap on what one image read may allocate is a single process-wide
// value, which the BMP decoder raises when it first meets a frame above it.
// Raised here before any worker exists, the decoders only ever read it.
void RaiseBmpAllocationLimit() {
  const int64_t neededMb = (kMaxFramePixels * 4 >> 20) + 1;
  if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < neededMb)
    QImageReader::setAllocationLimit(static_cast<int>(neededMb));
}

// The decoders give every frame a raster of its own, and here it is freed on
// another thread than the one that allocated it. glibc's adaptive limits do
// not settle on that pattern: each frame then gets freshly mapped pages
// (a page fault every 4 KiB, and a cross-processor TLB flush when they are
// unmapped), which costs more than decoding the frame. Fixed limits keep
// the freed memory of a frame (up to 32 MiB: 4000 x 2700 pixels) for the
// next one.
void KeepFreedFrameMemory() {
#ifdef __GLIBC__
  static std::once_flag once;
  std::call_once(once, [] {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest allowed value
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
  });
#endif
}

}  // namespace

FramePrefetcher::FramePrefetcher(const Context& ctx, int threads)
    : failedAt_(std::numeric_limits<int>::max()) {
  extension_ = ctx.workspace.sequenceName.extension;
  if (threads < 2 || (extension_ != ".jpg" && extension_ != ".bmp")) return;
  // A run loads frames 1 to MaxFrames at most. The paths are fixed for the
  // run: nothing changes the sequence's name parts while it works.
  try {
    paths_.resize(PointCloudStore::MaxFrames + 1);
    for (int k = 1; k <= PointCloudStore::MaxFrames; ++k) paths_[k] = ComposeFramePath(ctx, k);
  } catch (const ConversionError&) {
    // The run raises this itself when it names frame 1, after frame 0.
    paths_.clear();
    return;
  }
  if (extension_ == ".bmp") RaiseBmpAllocationLimit();
  KeepFreedFrameMemory();
  slots_.resize(static_cast<size_t>(threads) + 1);
  active_ = true;
  Queue();
  for (int i = 1; i < threads; ++i) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // the calling thread decodes what the workers do not
    }
  }
}

FramePrefetcher::~FramePrefetcher() { Stop(); }

int FramePrefetcher::FramesStarted() const {
  std::lock_guard lock(mutex_);
  return started_;
}

FramePrefetcher::Slot* FramePrefetcher::FirstPending() {
  for (int k = next_; k <= queued_ && k < failedAt_; ++k) {
    Slot& slot = SlotOf(k);
    if (slot.state == SlotState::Pending) return &slot;
  }
  return nullptr;
}

// Fills the slots with the frames after the one handed over last, up to the
// bound, the end of the run's frames and the first frame that failed.
void FramePrefetcher::Queue() {
  const int last = static_cast<int>(paths_.size()) - 1;
  const int bound = next_ + static_cast<int>(slots_.size()) - 1;
  while (queued_ < last && queued_ < failedAt_ && queued_ < bound) {
    Slot& slot = SlotOf(++queued_);
    slot.k = queued_;
    slot.state = SlotState::Pending;
  }
}

// Decodes the slot's frame with the lock released; its path is not written
// after the constructor, and no other thread touches a slot being decoded.
void FramePrefetcher::Decode(Slot& slot, std::unique_lock<std::mutex>& lock) {
  slot.state = SlotState::Decoding;
  ++started_;
  const std::string& path = paths_[static_cast<size_t>(slot.k)];
  lock.unlock();
  Raster raster;
  bool decoded = false;
  std::exception_ptr error;
  try {
    // The decoder DecodeFrameFile picks for these two extensions.
    decoded = extension_ == ".jpg" ? DecodeJpegFile(path, raster) : DecodeBmpFile(path, raster);
  } catch (...) {
    error = std::current_exception();
  }
  lock.lock();
  slot.raster = std::move(raster);
  slot.decoded = decoded;
  slot.error = error;
  slot.state = SlotState::Done;
  if ((!decoded || error) && slot.k < failedAt_) failedAt_ = slot.k;
  done_.notify_all();
}

void FramePrefetcher::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Slot* slot = nullptr;
    pending_.wait(lock, [&] { return stop_ || (slot = FirstPending()) != nullptr; });
    if (stop_) return;
    Decode(*slot, lock);
  }
}

bool FramePrefetcher::LoadFrame(Context& ctx, int k) {
  if (!active_) return LoadSequenceFrame(ctx, k);
  std::unique_lock lock(mutex_);
  if (k != next_ || k > queued_) {
    lock.unlock();
    Stop();
    return LoadSequenceFrame(ctx, k);
  }
  Slot& slot = SlotOf(k);
  // Rather than wait for a worker, decode the first frame nobody has taken.
  while (slot.state != SlotState::Done) {
    if (Slot* pending = FirstPending())
      Decode(*pending, lock);
    else
      done_.wait(lock);
  }
  const bool decoded = slot.decoded;
  const std::exception_ptr error = std::exchange(slot.error, nullptr);
  Raster frame = std::exchange(slot.raster, Raster{});
  slot.state = SlotState::Empty;
  next_ = k + 1;
  Queue();
  lock.unlock();
  pending_.notify_all();

  if (error) {
    Stop();
    std::rethrow_exception(error);
  }
  if (!decoded) {
    Stop();  // the end of the sequence
    return false;
  }
  // As DecodeFrameFile installs a decoded frame.
  ctx.workspace.workingRaster = std::move(frame);
  ctx.platform.ShowPicture(ctx.workspace.workingRaster);
  return true;
}

void FramePrefetcher::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  pending_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  active_ = false;
}

}  // namespace km
