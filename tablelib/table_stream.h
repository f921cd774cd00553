// Files and the buffered serialisation stream that tables read and write through.
//
// No exception leaves these classes: failures are codes (table_errors.h). A stream keeps the
// first failure as its sticky error; later operations on a failed stream do nothing.
#ifndef DBC_TABLELIB_TABLE_STREAM_H_
#define DBC_TABLELIB_TABLE_STREAM_H_

#include <stddef.h>
#include <stdint.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// A file opened for one of three modes. Closing is explicit or by the destructor.
class CTableFile {
 public:
  enum Mode {
    kRead,       // existing file, reading only
    kReadWrite,  // existing file, reading and writing (fails on a read-only file)
    kCreate,     // created or truncated, writing only
  };

  CTableFile() = default;
  ~CTableFile();
  CTableFile(const CTableFile&) = delete;
  CTableFile& operator=(const CTableFile&) = delete;

  // Whether a file (not a folder) exists at path.
  static bool Exists(const std::string& path);

  // 0, kTblErrFileNotFound, kTblErrAccess or kTblErrIo.
  int32_t Open(const std::string& path, Mode mode);
  // Closes, answering kTblErrIo when buffered data could not be written.
  int32_t Close();
  // Closes and ignores every error.
  void Abort();
  bool IsOpen() const { return file_ != nullptr; }

  // Reads up to size bytes; answers the count read (fewer at the end of the file).
  size_t Read(void* buffer, size_t size);
  // 0 or kTblErrIo.
  int32_t Write(const void* data, size_t size);
  // Flushes to the operating system and to the disk; 0 or kTblErrIo.
  int32_t Sync();
  // Whether a Read since Open failed for another reason than the end of the file.
  bool HadReadError() const { return read_error_; }

 private:
  std::FILE* file_ = nullptr;
  bool read_error_ = false;
};

// A buffered stream over an open CTableFile, either loading or storing.
class CTableStream {
 public:
  enum Direction { kLoad, kStore };

  // The file must stay open while the stream is used. buffer_size is the stream's buffer.
  CTableStream(CTableFile& file, Direction direction, size_t buffer_size = 4096);
  // Discards unwritten data: a storing stream must be Flush()ed.
  ~CTableStream();
  CTableStream(const CTableStream&) = delete;
  CTableStream& operator=(const CTableStream&) = delete;

  bool IsLoading() const { return direction_ == kLoad; }
  bool IsStoring() const { return direction_ == kStore; }

  // Storing.
  void WriteText(std::string_view text);  // the bytes, no terminator
  void Write(const void* data, size_t size);
  void WriteByte(uint8_t byte);
  // Writes the buffer to the file; answers the sticky error.
  int32_t Flush();

  // Loading. Read answers the count read, fewer at the end of the file (no error).
  size_t Read(void* buffer, size_t size);
  // Reads exactly one byte; at the end of the file sets the error kTblErrEndOfFile and answers
  // false.
  bool ReadByte(uint8_t* byte);

  // The CRC-32 (IEEE 802.3) of every byte written or read since construction or ResetCrc32; the
  // table file format ends with it.
  uint32_t Crc32() const { return ~crc_; }
  void ResetCrc32() { crc_ = 0xFFFFFFFFu; }

  // The first failure of the stream, 0 when none.
  int32_t Error() const { return error_; }
  void SetError(int32_t error) {
    if (error_ == 0) error_ = error;
  }

 private:
  bool Fill();
  void UpdateCrc(const uint8_t* bytes, size_t size);

  CTableFile& file_;
  Direction direction_;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;  // loading: next unread byte
  size_t end_ = 0;    // loading: end of valid data; storing: bytes buffered
  int32_t error_ = 0;
  uint32_t crc_ = 0xFFFFFFFFu;
};

#endif  // DBC_TABLELIB_TABLE_STREAM_H_
