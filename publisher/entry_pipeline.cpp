#include "publisher/entry_pipeline.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "common/text.h"

namespace {

// A block of one entry, numbered in archive order.
struct Job {
    size_t entry;
    size_t block;
};

// A block encoded ahead of the writer.
struct Slot {
    EncodedBlock block;
    std::wstring error;
    bool ready = false;
    bool failed = false;
};

// Workers that encode the jobs in order, never more than the number of
// slots ahead of the block the writer takes next.
class Encoders {
  public:
    Encoders(const std::vector<PipelineEntry>& entries, std::vector<Job> jobs, unsigned threads,
             size_t slots)
        : entries_(entries), jobs_(std::move(jobs)), slots_(slots) {
        for (unsigned i = 0; i < threads; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
    }

    ~Encoders() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        slotFreed_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

    Encoders(const Encoders&) = delete;
    Encoders& operator=(const Encoders&) = delete;

    // Waits for job index, the one after the job taken last, and takes it.
    // The bytes block held before go back to the workers as a buffer.
    bool Take(size_t index, EncodedBlock& block, std::wstring& error) {
        std::unique_lock<std::mutex> lock(mutex_);
        Slot& slot = slots_[index % slots_.size()];
        slotFilled_.wait(lock, [&] { return slot.ready; });
        slot.ready = false;
        taken_ = index + 1;
        const bool failed = slot.failed;
        error = std::move(slot.error);
        std::swap(block, slot.block);
        lock.unlock();
        slotFreed_.notify_all();
        return !failed;
    }

  private:
    void Work() {
        for (;;) {
            size_t index = 0;
            Slot done;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                slotFreed_.wait(lock, [&] {
                    return stopping_ || next_ >= jobs_.size() || next_ < taken_ + slots_.size();
                });
                if (stopping_ || next_ >= jobs_.size()) {
                    return;
                }
                index = next_++;
                // The buffer the writer gave back for this slot.
                done.block.bytes.swap(slots_[index % slots_.size()].block.bytes);
            }
            done.failed = !Encode(jobs_[index], done);
            done.ready = true;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                slots_[index % slots_.size()] = std::move(done);
            }
            slotFilled_.notify_all();
        }
    }

    // An exception must not end a worker (and with it the program): the
    // block fails instead.
    bool Encode(const Job& job, Slot& slot) {
        try {
            return entries_[job.entry].encode(job.block, slot.block, slot.error);
        } catch (const std::exception& failure) {
            slot.error = L"Cannot encode " + Utf8ToWide(entries_[job.entry].header.name) + L": " +
                         Utf8ToWide(failure.what());
        }
        return false;
    }

    const std::vector<PipelineEntry>& entries_;
    const std::vector<Job> jobs_;
    std::vector<Slot> slots_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable slotFilled_;
    std::condition_variable slotFreed_;  // or the workers must stop
    size_t next_ = 0;                    // the next job a worker takes on
    size_t taken_ = 0;                   // jobs the writer has taken
    bool stopping_ = false;
};

}  // namespace

bool WriteEntries(ZipWriter& zip, const std::vector<PipelineEntry>& entries,
                  const PipelineOptions& options, std::wstring& error,
                  const std::function<void(uint64_t length)>& onBlock,
                  const std::function<void(size_t entry)>& onEntry) {
    std::vector<Job> jobs;
    for (size_t i = 0; i < entries.size(); ++i) {
        for (size_t block = 0; !entries[i].folder && block < entries[i].blocks; ++block) {
            jobs.push_back({i, block});
        }
    }
    const unsigned threads =
        options.threads != 0 ? options.threads : std::max(std::thread::hardware_concurrency(), 1u);
    Encoders encoders(entries, std::move(jobs), threads,
                      size_t{threads} * std::max(options.blocksPerThread, 1u));
    size_t job = 0;
    EncodedBlock encoded;  // its buffer goes round between the writer and the workers
    for (size_t i = 0; i < entries.size(); ++i) {
        const PipelineEntry& entry = entries[i];
        if (entry.folder) {
            if (!zip.AddFolder(entry.header.name, entry.header.written)) {
                error = zip.error();
                return false;
            }
            continue;
        }
        if (!zip.OpenRaw(entry.header)) {
            error = zip.error();
            return false;
        }
        uint64_t size = 0;
        uLong crc = crc32(0, nullptr, 0);
        for (size_t block = 0; block < entry.blocks; ++block, ++job) {
            if (!encoders.Take(job, encoded, error)) {
                return false;
            }
            if (!zip.WriteRaw(encoded.bytes.data(), encoded.bytes.size())) {
                error = zip.error();
                return false;
            }
            crc = crc32_combine(crc, encoded.crc, static_cast<z_off_t>(encoded.length));
            size += encoded.length;
            if (onBlock) {
                onBlock(encoded.length);
            }
        }
        if (!zip.CloseRaw(size, static_cast<uint32_t>(crc))) {
            error = zip.error();
            return false;
        }
        if (onEntry) {
            onEntry(i);
        }
    }
    return true;
}
