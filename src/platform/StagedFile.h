// Files the library creates, written so that nobody else's bytes can end up
// under their name: a new file, created exclusively (no link followed, mode
// 0600) under a name of its own beside the final name, is moved to the final
// name by an atomic rename only once it is complete. Whoever checks the
// content reads it through the descriptor that wrote it, never by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qz::platform {

class StagedFile {
  public:
    /// The suffix under which an unfinished download is kept beside its
    /// final name, so the name a host runs never holds one.
    static constexpr std::string_view kPartialSuffix = ".part";

    StagedFile() = default;
    /// Removes a staged file that was neither committed nor kept.
    ~StagedFile();
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    /// Creates the staged file "<finalName>.XXXXXX" in the final name's
    /// folder; false (errno set) when it cannot be made.
    bool Create(const std::string& finalName);
    /// Appends bytes; false on a short or failed write.
    bool Write(const void* data, std::size_t length);
    /// Moves the staged file to its final name, replacing whatever stands
    /// there (a link is replaced, not followed). The descriptor stays open.
    bool Commit();
    /// Moves the staged file to "<finalName>.part". The descriptor stays open.
    bool KeepPartial();
    /// Removes the staged file and closes the descriptor.
    void Discard();

    /// Takes up "<finalName>.part" left by an earlier transfer, for appending.
    /// Only a regular file of ours with one name, which nobody else may read
    /// or write, is taken (a link is not followed); else false, with
    /// `problem` saying why, and nothing changes.
    bool ContinuePartial(const std::string& finalName, std::string& problem);
    /// Removes the file under whatever name it has, unless that is the final
    /// name, and closes the descriptor.
    void Remove();
    /// Whether bytes of an earlier connection are part of the file.
    bool IsContinued() const { return continued_; }
    void SetContinued() { continued_ = true; }

    bool IsOpen() const { return fd_ >= 0; }
    /// The descriptor that wrote the bytes, for reading them back; -1 when closed.
    int Descriptor() const { return fd_; }
    std::uint64_t Size() const { return size_; }
    const std::string& FinalName() const { return finalName_; }
    /// Where the bytes are now: staged, final or partial name.
    const std::string& CurrentName() const { return currentName_; }

  private:
    bool MoveTo(const std::string& name);
    void Close();

    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool placed_ = false;
    bool continued_ = false;
    std::string finalName_;
    std::string currentName_;
};

/// Writes `bytes` to `finalName` through a staged file; false when any step fails
/// (nothing then stands under the final name that was not there before).
bool WriteFileAtomically(const std::string& finalName, std::string_view bytes);

/// Opens an existing file without following a link, only when it is a
/// regular file of the current user's with one name that nobody else may
/// read or write: what another local user planted is never taken up. -1,
/// with `problem` saying why, otherwise.
int OpenOwnFile(const std::string& name, int flags, std::string& problem);

/// Reads up to `limit` bytes of an open descriptor from its start.
bool ReadDescriptor(int fd, std::uint64_t limit, std::string& bytes);

/// The per-user folder for temporary files, made 0700 when missing:
/// "<$TMPDIR or /tmp>/QzAutoUpdate-<uid>". Empty, with `problem` saying why,
/// when the folder cannot be made or is not private: not a folder of its
/// own (a link, say), owned by another user, or open to others.
std::string PrivateTempFolder(std::string& problem);

/// Whether a folder belongs to the current user and nobody else may write
/// into it; `problem` says why not.
bool IsPrivateFolder(const std::string& folder, std::string& problem);

}  // namespace qz::platform
