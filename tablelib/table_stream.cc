#include "tablelib/table_stream.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "tablelib/system.h"
#include "tablelib/table_errors.h"

namespace {

int32_t CodeForErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kTblErrFileNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kTblErrAccess;
    default:
      return kTblErrIo;
  }
}

// CRC-32 (IEEE 802.3, reflected, polynomial 0xEDB88320), one table lookup per byte.
struct CCrcTable {
  uint32_t entries[256];
  CCrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[i] = c;
    }
  }
};

const CCrcTable kCrcTable;

}  // namespace

CTableFile::~CTableFile() {
  Abort();
}

bool CTableFile::Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

int32_t CTableFile::Open(const std::string& path, Mode mode) {
  Abort();
  std::error_code error;
  if (std::filesystem::is_directory(std::filesystem::path(path), error)) return kTblErrAccess;
  const char* how = mode == kRead ? "rb" : mode == kReadWrite ? "r+b" : "wb";
  errno = 0;
  file_ = std::fopen(path.c_str(), how);
  if (file_ == nullptr) return CodeForErrno(errno);
  read_error_ = false;
  return kTblOk;
}

int32_t CTableFile::Close() {
  if (file_ == nullptr) return kTblOk;
  const bool failed = std::ferror(file_) != 0;
  const int closed = std::fclose(file_);
  file_ = nullptr;
  return failed || closed != 0 ? kTblErrIo : kTblOk;
}

void CTableFile::Abort() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
}

size_t CTableFile::Read(void* buffer, size_t size) {
  if (file_ == nullptr || size == 0) return 0;
  const size_t count = std::fread(buffer, 1, size, file_);
  if (count < size && std::ferror(file_) != 0) read_error_ = true;
  return count;
}

int32_t CTableFile::Write(const void* data, size_t size) {
  if (file_ == nullptr) return kTblErrIo;
  if (size == 0) return kTblOk;
  return std::fwrite(data, 1, size, file_) == size ? kTblOk : kTblErrIo;
}

int32_t CTableFile::Sync() {
  if (file_ == nullptr) return kTblErrIo;
  return tablelib::SystemSyncFile(file_) ? kTblOk : kTblErrIo;
}

CTableStream::CTableStream(CTableFile& file, Direction direction, size_t buffer_size)
    : file_(file), direction_(direction) {
  if (buffer_size == 0) buffer_size = 1;
  // A stream without its buffer still works, one byte at a time through a one-byte buffer.
  try {
    buffer_.resize(buffer_size);
  } catch (const std::bad_alloc&) {
    error_ = kTblErrNoMemory;
  }
}

CTableStream::~CTableStream() = default;

void CTableStream::UpdateCrc(const uint8_t* bytes, size_t size) {
  uint32_t crc = crc_;
  for (size_t i = 0; i < size; ++i) crc = kCrcTable.entries[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
  crc_ = crc;
}

void CTableStream::WriteText(std::string_view text) {
  Write(text.data(), text.size());
}

void CTableStream::WriteByte(uint8_t byte) {
  Write(&byte, 1);
}

void CTableStream::Write(const void* data, size_t size) {
  if (error_ != kTblOk) return;
  if (direction_ != kStore) {
    SetError(kTblErrBadArgument);
    return;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  UpdateCrc(bytes, size);
  while (size > 0) {
    if (end_ == buffer_.size() && Flush() != kTblOk) return;
    size_t piece = buffer_.size() - end_;
    if (piece > size) piece = size;
    std::memcpy(buffer_.data() + end_, bytes, piece);
    end_ += piece;
    bytes += piece;
    size -= piece;
  }
}

int32_t CTableStream::Flush() {
  if (error_ != kTblOk || direction_ != kStore) return error_;
  if (end_ > 0) {
    const int32_t written = file_.Write(buffer_.data(), end_);
    end_ = 0;
    if (written != kTblOk) SetError(written);
  }
  return error_;
}

bool CTableStream::Fill() {
  begin_ = 0;
  end_ = file_.Read(buffer_.data(), buffer_.size());
  if (file_.HadReadError()) SetError(kTblErrIo);
  return end_ > 0 && error_ == kTblOk;
}

size_t CTableStream::Read(void* buffer, size_t size) {
  if (error_ != kTblOk || direction_ != kLoad) return 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < size) {
    if (begin_ == end_ && !Fill()) break;
    size_t piece = end_ - begin_;
    if (piece > size - done) piece = size - done;
    std::memcpy(out + done, buffer_.data() + begin_, piece);
    begin_ += piece;
    done += piece;
  }
  UpdateCrc(out, done);
  return done;
}

bool CTableStream::ReadByte(uint8_t* byte) {
  if (Read(byte, 1) == 1) return true;
  SetError(kTblErrEndOfFile);
  return false;
}
