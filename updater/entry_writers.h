#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "updater/archive_plan.h"

// Writes planned entries to their files on the calling thread and on worker
// threads, each with a reader of its own over the archive (the calling
// thread with plan's) and one fixed buffer. Entries are handed over in
// archive order; the caller learns of each outcome by its index.
class EntryWriters {
  public:
    // threads: 1 writes on the calling thread with plan's reader. hook, when
    // set, is called on the writing thread before (done false) and after
    // (done true) each entry.
    EntryWriters(const std::wstring& archivePath, ArchivePlan& plan, unsigned threads,
                 std::function<void(int index, bool done)> hook = nullptr);
    ~EntryWriters();
    EntryWriters(const EntryWriters&) = delete;
    EntryWriters& operator=(const EntryWriters&) = delete;

    // Writes plan.entries[index] (its folder exists). While a few entries
    // per thread are still in flight, writes waiting ones itself.
    void Submit(int index);
    // Returns once every entry handed over is written or has failed, writing
    // waiting ones itself.
    void Drain();
    // kZipOk once entry index is written, its error code once it failed,
    // -1 while it is in flight or was never handed over.
    int Outcome(int index);
    // True once any entry has failed.
    bool AnyFailed();

  private:
    void Work();
    int Write(ZipReader& reader, int index);
    // Writes the first waiting job with reader (or records openError for it
    // when reader could not open the archive); waits for an outcome when no
    // job waits. lock is held on entry and on return.
    void WriteOneOrWait(std::unique_lock<std::mutex>& lock, ZipReader& reader,
                        int openError = kZipOk);

    std::wstring archivePath_;
    ArchivePlan& plan_;
    std::function<void(int index, bool done)> hook_;
    size_t limit_;  // entries in flight at most
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;  // a job waits, or the writers must stop
    std::condition_variable done_;  // an entry was written or failed
    std::deque<int> jobs_;
    std::vector<int> outcomes_;
    size_t inFlight_ = 0;
    bool failed_ = false;
    bool stopping_ = false;
};

// How many threads the built-in reader writes with when asked for
// `requested` (0: one per core, at most 8).
unsigned ExtractionThreads(unsigned requested);
