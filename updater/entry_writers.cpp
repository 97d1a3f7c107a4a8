#include "updater/entry_writers.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "common/text.h"
#include "common/update_log.h"
#include "updater/delta_apply.h"

namespace {

const unsigned kMaxThreads = 8;
const size_t kJobsPerThread = 4;

}  // namespace

unsigned ExtractionThreads(unsigned requested) {
    if (requested != 0) {
        return std::min(requested, kMaxThreads);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return std::min(std::max(cores, 1u), kMaxThreads);
}

EntryWriters::EntryWriters(const std::wstring& archivePath, ArchivePlan& plan, unsigned threads,
                           std::function<void(int index, bool done)> hook)
    : archivePath_(archivePath),
      plan_(plan),
      hook_(std::move(hook)),
      limit_(threads * kJobsPerThread),
      outcomes_(plan.entries.size(), -1) {
    // The calling thread is one of the writers: it takes jobs whenever it
    // would otherwise wait.
    if (threads > 1) {
        for (unsigned i = 1; i < threads; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
    }
}

EntryWriters::~EntryWriters() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

int EntryWriters::Write(ZipReader& reader, int index) {
    const PlannedEntry& entry = plan_.entries[static_cast<size_t>(index)];
    int outcome = kZipOk;
    // An exception must not end a writer thread (and with it the program):
    // the entry fails as a damaged one does.
    try {
        if (hook_) {
            hook_(index, false);
        }
        if (entry.delta) {
            outcome = ApplyDeltaEntry(reader, entry, !threads_.empty());
        } else {
            outcome = reader.ExtractToFile(entry.stat, entry.targetPath) ? kZipOk
                                                                         : reader.TakeLastError();
        }
        if (hook_) {
            hook_(index, true);
        }
    } catch (const std::exception& error) {
        LogUpdate(L"Internal error: %S", error.what());
        outcome = kZipEntryDamaged;
    }
    return outcome;
}

void EntryWriters::Submit(int index) {
    if (threads_.empty()) {
        const int outcome = Write(plan_.reader, index);
        outcomes_[static_cast<size_t>(index)] = outcome;
        failed_ = failed_ || outcome != kZipOk;
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    while (inFlight_ >= limit_) {
        WriteOneOrWait(lock, plan_.reader);
    }
    jobs_.push_back(index);
    ++inFlight_;
    lock.unlock();
    wake_.notify_one();
}

void EntryWriters::Drain() {
    if (threads_.empty()) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    while (inFlight_ != 0) {
        WriteOneOrWait(lock, plan_.reader);
    }
}

void EntryWriters::WriteOneOrWait(std::unique_lock<std::mutex>& lock, ZipReader& reader,
                                  int openError) {
    if (jobs_.empty()) {
        done_.wait(lock);
        return;
    }
    const int index = jobs_.front();
    jobs_.pop_front();
    lock.unlock();
    const int outcome = openError == kZipOk ? Write(reader, index) : openError;
    lock.lock();
    outcomes_[static_cast<size_t>(index)] = outcome;
    failed_ = failed_ || outcome != kZipOk;
    --inFlight_;
    done_.notify_all();
}

int EntryWriters::Outcome(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcomes_[static_cast<size_t>(index)];
}

bool EntryWriters::AnyFailed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

void EntryWriters::Work() {
    try {
        ZipReader reader;
        const bool opened = reader.Open(WideToUtf8(archivePath_));
        const int openError = opened ? kZipOk : reader.TakeLastError();
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) {
                return;
            }
            WriteOneOrWait(lock, reader, openError);
        }
    } catch (const std::exception& error) {
        // The calling thread writes whatever this one leaves waiting.
        LogUpdate(L"Internal error: %S", error.what());
    }
}
