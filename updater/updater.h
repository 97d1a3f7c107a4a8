#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/path.h"
#include "updater/system_tools.h"
#include "updater/variant_names.h"

class ArchivePlan;
struct PlannedEntry;

// Receives every user-visible status text of an update run.
using StatusCallback = std::function<void(const std::wstring&)>;

// A patch's archive of binary differences against the release of stamp
// "from" (see delta_archive.h). zip is empty when the patch has none, or its
// "delta" object is not one this launcher can use: the whole patch serves.
struct DeltaPackage {
    std::string zip;
    std::string crc;     // read, not checked
    int64_t size = 0;    // read, not checked
    std::string sha256;  // the archive's SHA-256; empty: not checked
    std::string from;    // the stamp the differences apply to
};

// One archive listed in "manifest.json".
struct UpdatePackage {
    std::string version;  // shown only; patches store their numeric version as text
    std::string zip;      // archive name below the update folder
    std::string crc;      // read, not checked
    int32_t size = 0;     // read, not checked
    int64_t created = 0;  // stamp that orders packages and is compared with version.txt
    std::string sha256;   // the archive's SHA-256 (64 hex digits); empty: not checked
    DeltaPackage delta;   // patches only
};

struct UpdateManifest {
    std::string latest;
    std::vector<UpdatePackage> patches;  // file order
    std::vector<UpdatePackage> fulls;    // file order
};

// The public keys compiled into this program (VANTORA_UPDATE_KEYS): none,
// one or two, each 128 hex digits.
std::vector<std::string> CompiledUpdateKeys();

// True when the program runs under Wine ("wine_get_version" is exported by
// ntdll.dll), where the system tools are not tried.
bool IsRunningUnderWine();

// The update engine: one object per run, filled in by its creator before Run.
// The flags tell the caller why a run stopped.
class Updater {
  public:
    std::wstring baseUrl;  // update folder URL, ends with "/"
    StatusCallback onStatus;
    bool launcherUpdatePending = false;
    bool haltedAfterExtractionFailure = false;
    bool blockedByRunningExecutable = false;
    std::wstring runningExecutablePath;
    std::wstring selfUpdateFolder = L"_launcher_self_update";

    // Which launcher build's artifact rules ExtractZip applies, and how it
    // tells that it runs under Wine. Tests replace them; the defaults are
    // this build's names and the real check.
    const VariantNames* variantNames = &CurrentVariantNames();
    std::function<bool()> runsUnderWine = IsRunningUnderWine;
    // Where tar.exe and PowerShell are; tests put stand-ins elsewhere.
    std::function<SystemTools()> systemTools = LocateSystemTools;
    // Public keys of the update folder's signature (128 hex digits each);
    // empty: the manifest is taken unsigned. Tests set their own.
    std::vector<std::string> updateKeys = CompiledUpdateKeys();

    // Fetches url with an HTTP GET into targetPath, through targetPath +
    // ".download"; true only when targetPath holds the complete body.
    // With expectedSha256 (64 hex digits), a body of another SHA-256 counts as
    // a failed download.
    bool DownloadFile(const std::wstring& url, const std::wstring& targetPath,
                      const std::string& expectedSha256 = std::string());

    // Unpacks archivePath below destination: through the system tools, or
    // entry by entry with the built-in reader under Wine, for archives that
    // carry launcher programs, and when the tools fail. True when every entry
    // was written (this build's launcher below selfUpdateFolder). False when
    // the archive was refused or could not be processed;
    // blockedByRunningExecutable tells when a program in use was the cause.
    bool ExtractZip(const std::wstring& archivePath, const std::wstring& destination);
    // Applies an archive of binary differences (see delta_archive.h) below
    // destination with the built-in reader: each difference to the file it
    // was made from, checked before and after, its whole entries as
    // ExtractZip writes them. False when any entry could not be applied
    // (blockedByRunningExecutable tells when a program in use was the
    // cause); files already written stay, each one whole.
    bool ApplyDeltaArchive(const std::wstring& archivePath, const std::wstring& destination);

    // --- The run, extraction failures and the self-update hand-off ---------------

    // Downloads the manifest and applies every due full archive, then every
    // due patch, recording each stamp in "version.txt"; starts the
    // self-updater when an archive carried this build's launcher. True when
    // the game folder is current (launcherUpdatePending: the launcher must
    // now exit); false when the run stopped, the flags telling why.
    bool Run();
    // Apply every package of the manifest's fulls (patches) newer than
    // currentStamp, oldest first. False stops the run.
    bool ApplyFullUpdates(const UpdateManifest& manifest, const std::string& currentStamp);
    bool ApplyPatchUpdates(const UpdateManifest& manifest, const std::string& currentStamp);
    // Records stamp as applied and asks the user to retry, to go on after a
    // manual extraction, or to stop. True: the run may go on.
    bool HandleExtractionFailure(const std::wstring& archivePath, const std::wstring& destination,
                                 const std::string& stamp);
    // Starts the self-updater beside the launcher without waiting for it.
    bool RunSelfUpdater();

    // Where the run meets the desktop; tests replace these.
    MessageBoxFunction showMessageBox = SystemMessageBox;          // the extraction-failure dialog
    ModuleFileNameFunction moduleFileName = SystemModuleFileName;  // the launcher's own file
    std::wostream* console = nullptr;  // run progress lines; null: the wide standard output

    // Threads the built-in reader writes entries with: 0 one per core (at
    // most 8), 1 only the calling thread.
    unsigned extractionThreads = 0;
    // Called on the writing thread right before (done false) and right after
    // (done true) the built-in reader writes the entry at an archive index;
    // tests hold a write with it to fix the order of two.
    std::function<void(int index, bool done)> entryWriteHook;

  private:
    // Reads the downloaded "manifest.json"; with updateKeys, only when
    // "manifest.json.sig" signs its bytes and every package has a SHA-256.
    bool ReadManifest(UpdateManifest& manifest);
    bool ExtractGuarded(const std::wstring& archivePath, const std::wstring& destination,
                        bool differences);
    bool ExtractArchive(const std::wstring& archivePath, const std::wstring& destination,
                        bool differences);
    bool ExtractWithBuiltInReader(const std::wstring& archivePath, ArchivePlan& plan);
    bool ReportUnopenedArchive(const std::wstring& archivePath, int code);
    bool RefuseUnsafeEntry(const std::wstring& archivePath, const PlannedEntry& entry);
    bool RefuseLink(const std::wstring& archivePath, const PlannedEntry& entry,
                    const std::wstring& link);
    bool FailEntry(const std::wstring& archivePath, const PlannedEntry& entry);
    void StopForRunningExecutable(const std::wstring& path);
    void EmptyStagingFolder();

    void ReportStatus(const std::wstring& text) const {
        if (onStatus) {
            onStatus(text);
        }
    }
};

// The status text of a download after `received` of `expected` bytes
// (expected not 0) in `elapsedSeconds`.
std::wstring DownloadProgressText(uint64_t received, uint64_t expected, double elapsedSeconds);

// Reads the JSON manifest at path. False when the file cannot be opened or
// is malformed (syntax, root or package not an object, a value of the wrong
// type); nothing is thrown.
bool ParseManifest(const std::string& path, UpdateManifest& manifest);
// The same for the manifest's text.
bool ParseManifestText(const std::string& text, UpdateManifest& manifest);

// First whitespace-delimited token of "version.txt"; "0" when the file cannot
// be opened, "" when it is empty.
std::string ReadVersionFile();

// Replaces the contents of "version.txt" with text (no line end). The text
// goes to a temporary file beside it first; false when it could not be
// recorded, and the file then holds the previous stamp.
bool WriteVersionFile(const std::string& text);

// Turns a stamp into a comparable number: "1.2.3" gives 10203, "2.5" gives
// 20500; otherwise a base-10 integer (saturating, 0 when there are no digits).
int64_t ParseVersionNumber(const std::string& text);
