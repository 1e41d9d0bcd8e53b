// An open file with numeric results, for code that reports rather than
// throws: every operation answers 0 on success.
#pragma once

#include "osal/QzPath.h"

#include <cstddef>
#include <cstdint>

namespace QzOSAL {

class QzFile {
  public:
    // Mode bits of Open; combine one access bit with the disposition bits.
    static constexpr std::uint32_t kModeRead = 1;
    static constexpr std::uint32_t kModeWrite = 2;
    static constexpr std::uint32_t kModeReadWrite = 4;
    /// With write access: fail on a missing file instead of creating it.
    static constexpr std::uint32_t kModeMustExist = 8;
    /// With write access: start the file empty.
    static constexpr std::uint32_t kModeTruncate = 16;

    // Results of Open and Close (the other operations answer 0 or 1).
    static constexpr int kOk = 0;
    static constexpr int kFailed = 1;
    static constexpr int kNotFound = 3;
    static constexpr int kExists = 4;
    static constexpr int kReadOnly = 5;
    static constexpr int kNotOpen = 8;

    // Origins of Seek; any other value seeks from the current position.
    static constexpr int kFromBegin = 0;
    static constexpr int kFromEnd = 2;

    /// A closed file on `path`.
    explicit QzFile(const QzPath& path);
    virtual ~QzFile();
    QzFile(const QzFile&) = delete;
    QzFile& operator=(const QzFile&) = delete;

    /// Opens the file: 0 opened; 1 no access bit, already open or another
    /// failure; 3 missing; 4 already exists; 5 read-only.
    int Open(std::uint32_t mode);
    /// 0 closed; 8 not open; 1 the handle could not be closed.
    int Close();
    bool IsOpen() const { return open_; }
    const QzPath& GetPath() const { return path_; }

    /// Moves the position; `origin` is kFromBegin, kFromEnd or anything else
    /// for the current position.
    int Seek(std::int64_t offset, int origin);
    int SeekToBegin();
    int SeekToEnd();
    int GetPosition(std::uint64_t& position) const;
    /// The length of the open file in bytes.
    int GetLength(std::uint64_t& length) const;
    /// Ends the file at the current position.
    int SetLength();
    /// Writes all `count` bytes; `written` (optional) gets what was written.
    int Write(const void* buffer, std::size_t count, std::size_t* written = nullptr);
    /// Reads up to `count` bytes; fewer only at the end of the file.
    int Read(void* buffer, std::size_t count, std::size_t& read);

  private:
    int handle_ = -1;
    bool open_ = false;
    QzPath path_;
};

} // namespace QzOSAL
