// The power-loss file layer (power_loss.h). The shadow folder holds:
//   root          "<device> <inode>" of the watched folder
//   data/<inode>  a file's bytes at its last fsync
//   dir/<inode>   a folder's names at its last fsync: "<f|d|l> <inode> <mode, octal> <name>" lines
//   link/<inode>  a symbolic link's target
//   pin/<inode>   a hard link to each file recorded, so that its inode is not reused in the run
#include "tests/support/power_loss.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// A fault of the layer itself would make the test see losses that are not there (or miss some):
// it ends the process loudly instead.
[[noreturn]] void Broken(const std::string& what) {
  const std::string line = "power-loss layer: " + what + ": " + strerror(errno) + "\n";
  ssize_t ignored = write(2, line.data(), line.size());
  (void)ignored;
  abort();
}

std::string InodeName(ino_t inode) {
  return std::to_string(static_cast<unsigned long long>(inode));
}

// Writes bytes to shadow/<kind>/<inode>, replacing what was there in one step.
void PutShadowFile(const std::string& shadow, const char* kind, ino_t inode,
                   const std::string& bytes) {
  const std::string path = shadow + "/" + kind + "/" + InodeName(inode);
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  const int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) Broken("cannot create " + temp);
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(out, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Broken("cannot write " + temp);
    done += static_cast<size_t>(n);
  }
  if (close(out) != 0 || rename(temp.c_str(), path.c_str()) != 0) Broken("cannot store " + path);
}

// Keeps the inode alive until the shadow folder goes. An inode already pinned is left as it is.
void Pin(const std::string& shadow, int dir_fd, const char* name, int flags, ino_t inode) {
  const std::string pin = shadow + "/pin/" + InodeName(inode);
  if (linkat(dir_fd, name, AT_FDCWD, pin.c_str(), flags) != 0 && errno != EEXIST) {
    Broken(std::string("cannot pin ") + name);
  }
}

// The bytes of the open regular file fd as they are now.
void RecordFile(const std::string& shadow, int fd, ino_t inode) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  // The file may be open for writing only; a new descriptor on it reads it.
  const int in = open(self.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Broken("cannot read back " + self);
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Broken("cannot read " + self);
    if (n == 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  close(in);
  // A file already removed has no name to pin by, and no name a folder could list.
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_nlink > 0) {
    Pin(shadow, AT_FDCWD, self.c_str(), AT_SYMLINK_FOLLOW, inode);
  }
  PutShadowFile(shadow, "data", inode, bytes);
}

// The names of the open folder fd as they are now.
void RecordFolder(const std::string& shadow, int fd, ino_t inode) {
  const int dir_fd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) Broken("cannot open a folder again");
  DIR* dir = fdopendir(dir_fd);
  if (dir == nullptr) Broken("cannot list a folder");
  std::ostringstream listing;
  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    if (strchr(name, '\n') != nullptr) Broken(std::string("a name with a line break: ") + name);
    struct stat st;
    if (fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) Broken(std::string("stat ") + name);
    char type = 0;
    if (S_ISREG(st.st_mode)) {
      type = 'f';
      Pin(shadow, dir_fd, name, 0, st.st_ino);
    } else if (S_ISDIR(st.st_mode)) {
      type = 'd';
    } else if (S_ISLNK(st.st_mode)) {
      type = 'l';
      char target[4096];
      const ssize_t n = readlinkat(dir_fd, name, target, sizeof target);
      if (n < 0 || static_cast<size_t>(n) == sizeof target) Broken(std::string("link ") + name);
      PutShadowFile(shadow, "link", st.st_ino, std::string(target, static_cast<size_t>(n)));
    } else {
      continue;  // sockets and pipes hold no data
    }
    listing << type << ' ' << InodeName(st.st_ino) << ' ' << std::oct << (st.st_mode & 07777)
            << std::dec << ' ' << name << '\n';
  }
  closedir(dir);
  PutShadowFile(shadow, "dir", inode, listing.str());
}

bool ReadText(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  *text = bytes.str();
  return true;
}

// Records what fd holds when the layer is on and fd is on the watched disk.
void AfterSync(int fd) {
  const char* shadow = getenv(DBC_POWER_LOSS_ENV);
  if (shadow == nullptr || *shadow == '\0') return;
  const int saved_errno = errno;
  std::string root;
  unsigned long long device = 0;
  if (!ReadText(std::string(shadow) + "/root", &root) ||
      sscanf(root.c_str(), "%llu", &device) != 1) {
    Broken(std::string("no watched folder in ") + shadow);
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && static_cast<unsigned long long>(st.st_dev) == device) {
    if (S_ISREG(st.st_mode)) RecordFile(shadow, fd, st.st_ino);
    if (S_ISDIR(st.st_mode)) RecordFolder(shadow, fd, st.st_ino);
  }
  errno = saved_errno;
}

// Records path and, for a folder, everything below it.
void RecordTree(const std::string& shadow, const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;  // a symbolic link: its folder's listing holds it
  struct stat st;
  if (fstat(fd, &st) != 0) Broken("stat " + path);
  if (S_ISREG(st.st_mode)) RecordFile(shadow, fd, st.st_ino);
  if (S_ISDIR(st.st_mode)) {
    RecordFolder(shadow, fd, st.st_ino);
    DIR* dir = fdopendir(dup(fd));
    if (dir == nullptr) Broken("cannot list " + path);
    while (const dirent* entry = readdir(dir)) {
      if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
        RecordTree(shadow, path + "/" + entry->d_name);
      }
    }
    closedir(dir);
  }
  close(fd);
}

void SetError(char* error, unsigned size, const std::string& message) {
  if (error != nullptr && size > 0) snprintf(error, size, "%s", message.c_str());
}

// Makes path the folder of this inode as the disk holds it.
bool Rebuild(const std::string& shadow, const std::string& inode, const std::string& path,
             unsigned mode, std::string* error) {
  if (mkdir(path.c_str(), 0700) != 0) {
    *error = "cannot make " + path + ": " + strerror(errno);
    return false;
  }
  std::string listing;
  ReadText(shadow + "/dir/" + inode, &listing);  // none: a folder whose names never reached it
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    char type = 0;
    std::string entry_inode;
    unsigned entry_mode = 0;
    fields >> type >> entry_inode >> std::oct >> entry_mode;
    fields.get();  // the blank before the name
    std::string name;
    std::getline(fields, name);
    const std::string target = path + "/" + name;
    std::string bytes;
    bool ok = true;
    if (type == 'd') {
      ok = Rebuild(shadow, entry_inode, target, entry_mode, error);
    } else if (type == 'l') {
      ok = ReadText(shadow + "/link/" + entry_inode, &bytes) &&
           symlink(bytes.c_str(), target.c_str()) == 0;
    } else {
      ReadText(shadow + "/data/" + entry_inode, &bytes);  // none: never synced, so empty
      std::ofstream out(target, std::ios::binary);
      out << bytes;
      out.close();
      ok = !out.fail() && chmod(target.c_str(), entry_mode) == 0;
    }
    if (!ok) {
      if (error->empty()) *error = "cannot rebuild " + target;
      return false;
    }
  }
  return chmod(path.c_str(), mode) == 0;
}

bool RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  return !ec;
}

}  // namespace

extern "C" {

int fsync(int fd) {
  const int result = static_cast<int>(syscall(SYS_fsync, fd));
  if (result == 0) AfterSync(fd);
  return result;
}

int fdatasync(int fd) {
  const int result = static_cast<int>(syscall(SYS_fdatasync, fd));
  if (result == 0) AfterSync(fd);
  return result;
}

int PowerLossBegin(const char* root, const char* shadow, char* error, unsigned error_size) {
  struct stat st;
  if (stat(root, &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetError(error, error_size, std::string("no folder ") + root);
    return -1;
  }
  const std::string base = shadow;
  if (!RemoveTree(base) || mkdir(shadow, 0700) != 0) {
    SetError(error, error_size, "cannot make " + base + ": " + strerror(errno));
    return -1;
  }
  for (const char* kind : {"data", "dir", "link", "pin"}) mkdir((base + "/" + kind).c_str(), 0700);
  std::ofstream(base + "/root") << static_cast<unsigned long long>(st.st_dev) << ' '
                                << InodeName(st.st_ino) << ' ' << std::oct << (st.st_mode & 07777)
                                << '\n';
  RecordTree(base, root);
  return 0;
}

int PowerLossRestore(const char* root, const char* shadow, char* error, unsigned error_size) {
  const std::string base = shadow;
  std::string text;
  std::istringstream fields(ReadText(base + "/root", &text) ? text : "");
  std::string device;
  std::string inode;
  unsigned mode = 0;
  if (!(fields >> device >> inode >> std::oct >> mode)) {
    SetError(error, error_size, "no run begun in " + base);
    return -1;
  }
  const std::string rebuilt = std::string(root) + ".rebuilt";
  std::string message;
  if (!RemoveTree(rebuilt) || !Rebuild(base, inode, rebuilt, mode, &message) || !RemoveTree(root) ||
      rename(rebuilt.c_str(), root) != 0 || !RemoveTree(base)) {
    SetError(error, error_size, message.empty() ? "cannot replace " + std::string(root) : message);
    return -1;
  }
  return 0;
}

}  // extern "C"
