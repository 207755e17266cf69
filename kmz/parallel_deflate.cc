#include "kmz/parallel_deflate.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "kmz/crc32.h"

namespace tervo {

namespace {

constexpr int kDeflateLevel = 6;
constexpr unsigned kMaxThreads = 16;

}  // namespace

ParallelDeflater::Compressor::Compressor() {
    ready_ = deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

ParallelDeflater::Compressor::~Compressor() {
    if (ready_) {
        deflateEnd(&stream_);
    }
}

void ParallelDeflater::Compressor::Compress(Slot& slot) {
    slot.failed = true;
    slot.outputSize = 0;
    slot.crc = Crc32(0, slot.input.data(), slot.inputSize);
    if (!ready_ || deflateReset(&stream_) != Z_OK) {
        return;
    }
    if (!slot.dictionary.empty() && deflateSetDictionary(&stream_, slot.dictionary.data(),
                                                         static_cast<uInt>(slot.dictionary.size())) != Z_OK) {
        return;
    }
    // A sync flush ends the chunk with an empty stored block: a few bytes over the bound.
    const size_t bound = deflateBound(&stream_, static_cast<uLong>(slot.inputSize)) + 16;
    if (slot.output.size() < bound) {
        slot.output.resize(bound);
    }
    const int flush = slot.last ? Z_FINISH : Z_SYNC_FLUSH;
    stream_.next_in = slot.input.data();
    stream_.avail_in = static_cast<uInt>(slot.inputSize);
    for (;;) {
        stream_.next_out = slot.output.data() + slot.outputSize;
        stream_.avail_out = static_cast<uInt>(slot.output.size() - slot.outputSize);
        const int status = deflate(&stream_, flush);
        slot.outputSize = slot.output.size() - stream_.avail_out;
        if (status == Z_STREAM_ERROR) {
            return;
        }
        const bool complete =
            slot.last ? status == Z_STREAM_END : stream_.avail_in == 0 && stream_.avail_out > 0;
        if (complete) {
            break;
        }
        slot.output.resize(slot.output.size() * 2);
    }
    slot.failed = false;
}

ParallelDeflater::ParallelDeflater(Output output, unsigned threads, size_t chunkSize)
    : output_(std::move(output)), chunkSize_(std::max<size_t>(chunkSize, 1)) {
    if (threads == 0) {
        threads = std::max(1u, std::thread::hardware_concurrency());
    }
    threads = std::min(threads, kMaxThreads);
    if (threads == 1) {
        inlineCompressor_ = std::make_unique<Compressor>();
        slots_.resize(1);
        return;
    }
    // Two slots more than workers: the caller fills one and the oldest waits to go out.
    slots_.resize(threads + 2);
    try {
        for (unsigned i = 0; i < threads; ++i) {
            workers_.emplace_back([this] { WorkerLoop(); });
        }
    } catch (const std::system_error&) {
        // No threads to be had: the caller's thread compresses.
        StopWorkers();
        inlineCompressor_ = std::make_unique<Compressor>();
        slots_.resize(1);
    }
}

ParallelDeflater::~ParallelDeflater() { StopWorkers(); }

void ParallelDeflater::StopWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
    workers_.clear();
}

void ParallelDeflater::Write(const uint8_t* data, size_t size) {
    if (finished_) {
        throw std::logic_error("ParallelDeflater::Write after Finish");
    }
    while (size > 0) {
        if (!FillingSlotFree()) {
            CollectOldest();  // the ring is full: the slot to fill is the oldest
            continue;
        }
        Slot& slot = slots_[filling_];
        if (slot.input.size() < chunkSize_) {
            slot.input.resize(chunkSize_);
        }
        const size_t taken = std::min(size, chunkSize_ - slot.inputSize);
        std::memcpy(slot.input.data() + slot.inputSize, data, taken);
        slot.inputSize += taken;
        inputSize_ += taken;
        data += taken;
        size -= taken;
        if (slot.inputSize == chunkSize_) {
            Submit(false);
        }
    }
}

void ParallelDeflater::Finish() {
    if (finished_) {
        return;
    }
    while (!FillingSlotFree()) {
        CollectOldest();
    }
    Submit(true);
    while (collected_ < submitted_) {
        CollectOldest();
    }
    finished_ = true;
}

bool ParallelDeflater::FillingSlotFree() {
    // A free slot stays free until Submit queues it: only this thread frees and
    // queues slots. So one look under the lock per slot is enough.
    if (!fillingFree_) {
        std::lock_guard<std::mutex> lock(mutex_);
        fillingFree_ = slots_[filling_].state == SlotState::Free;
    }
    return fillingFree_;
}

void ParallelDeflater::Submit(bool last) {
    Slot& slot = slots_[filling_];
    slot.last = last;
    slot.dictionary = window_;
    // The next chunk's dictionary: the last 32 KiB of the input so far.
    const size_t fromChunk = std::min(slot.inputSize, kWindow);
    const size_t kept = std::min(window_.size(), kWindow - fromChunk);
    window_.erase(window_.begin(), window_.end() - static_cast<std::ptrdiff_t>(kept));
    window_.insert(window_.end(), slot.input.data() + slot.inputSize - fromChunk,
                   slot.input.data() + slot.inputSize);
    slot.sequence = submitted_++;
    filling_ = (filling_ + 1) % slots_.size();
    fillingFree_ = false;
    if (inlineCompressor_) {
        inlineCompressor_->Compress(slot);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.state = SlotState::Done;
        }
        CollectOldest();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = SlotState::Queued;
    }
    queued_.notify_one();
    // Send out what is done already, so that the output does not wait for the end.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (collected_ == submitted_ || slots_[oldest_].state != SlotState::Done) {
                break;
            }
        }
        CollectOldest();
    }
}

void ParallelDeflater::CollectOldest() {
    Slot& slot = slots_[oldest_];
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return slot.state == SlotState::Done; });
    }
    if (slot.failed) {
        throw std::runtime_error("deflate failed");
    }
    crc_ = static_cast<uint32_t>(crc32_combine(crc_, slot.crc, static_cast<z_off_t>(slot.inputSize)));
    outputSize_ += slot.outputSize;
    // The slot is only the caller's again once its output has gone out.
    output_(slot.output.data(), slot.outputSize);
    slot.inputSize = 0;
    slot.outputSize = 0;
    ++collected_;
    oldest_ = (oldest_ + 1) % slots_.size();
    std::lock_guard<std::mutex> lock(mutex_);
    slot.state = SlotState::Free;
}

void ParallelDeflater::WorkerLoop() {
    Compressor compressor;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        Slot* next = nullptr;
        queued_.wait(lock, [&] {
            next = nullptr;
            if (stopping_) {
                return true;
            }
            for (Slot& slot : slots_) {
                if (slot.state == SlotState::Queued && (next == nullptr || slot.sequence < next->sequence)) {
                    next = &slot;
                }
            }
            return next != nullptr;
        });
        if (stopping_) {
            return;
        }
        next->state = SlotState::Working;
        lock.unlock();
        compressor.Compress(*next);
        lock.lock();
        next->state = SlotState::Done;
        done_.notify_all();
    }
}

}  // namespace tervo
