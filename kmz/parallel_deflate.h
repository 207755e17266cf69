// Raw deflate at level 6 on every core. The input is cut into chunks of equal
// size that worker threads compress at once, each chunk primed with the last
// 32 KiB of the one before it as its dictionary and ended on a byte boundary
// by a sync flush, the last one ended by Z_FINISH. Written one after another,
// the pieces form one deflate stream, which compresses within a fraction of a
// percent of a single-threaded one. The same input always gives the same bytes,
// however the threads are scheduled.
#pragma once

#include <zlib.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tervo {

class ParallelDeflater {
public:
    // Receives the compressed stream in order, on the thread that called Write
    // or Finish. What it throws leaves that call.
    using Output = std::function<void(const uint8_t* data, size_t size)>;

    static constexpr size_t kDefaultChunkSize = 1 << 20;

    // `threads` 0 takes one worker per core; with one, or when no thread can be
    // started, chunks are compressed on the calling thread.
    explicit ParallelDeflater(Output output, unsigned threads = 0, size_t chunkSize = kDefaultChunkSize);
    ~ParallelDeflater();
    ParallelDeflater(const ParallelDeflater&) = delete;
    ParallelDeflater& operator=(const ParallelDeflater&) = delete;

    void Write(const uint8_t* data, size_t size);
    // Compresses what is left, ends the stream and hands out the rest of it.
    void Finish();

    // Of the whole input, valid after Finish.
    uint32_t Crc() const { return crc_; }
    uint64_t InputSize() const { return inputSize_; }
    uint64_t OutputSize() const { return outputSize_; }

private:
    static constexpr size_t kWindow = 32 * 1024;

    enum class SlotState { Free, Queued, Working, Done };
    struct Slot {
        std::vector<uint8_t> input;
        size_t inputSize = 0;
        std::vector<uint8_t> dictionary;
        std::vector<uint8_t> output;
        size_t outputSize = 0;
        bool last = false;
        bool failed = false;
        uint32_t crc = 0;
        uint64_t sequence = 0;
        SlotState state = SlotState::Free;
    };

    // One worker's deflate state, reset for every chunk.
    class Compressor {
    public:
        Compressor();
        ~Compressor();
        Compressor(const Compressor&) = delete;
        Compressor& operator=(const Compressor&) = delete;
        void Compress(Slot& slot);

    private:
        z_stream stream_{};
        bool ready_ = false;
    };

    void StopWorkers();
    // Whether the slot at filling_ is free for Write to fill.
    bool FillingSlotFree();
    void Submit(bool last);
    void CollectOldest();
    void WorkerLoop();

    Output output_;
    size_t chunkSize_;
    std::vector<Slot> slots_;
    size_t filling_ = 0;  // the slot being filled by Write
    size_t oldest_ = 0;   // the next slot whose output goes out
    uint64_t submitted_ = 0;
    uint64_t collected_ = 0;
    std::vector<uint8_t> window_;  // the last bytes of the previous chunk
    uint32_t crc_ = 0;
    uint64_t inputSize_ = 0;
    uint64_t outputSize_ = 0;
    bool finished_ = false;
    // The slot at filling_ was seen free under the lock since filling_ last moved on.
    bool fillingFree_ = false;

    std::unique_ptr<Compressor> inlineCompressor_;
    // Guards every slot's state, which the caller's thread and the workers both
    // read and write; what a slot holds belongs to whoever its state hands it to.
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable done_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace tervo
