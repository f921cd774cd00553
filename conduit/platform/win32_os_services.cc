#include "conduit/platform/win32_os_services.h"

// windows.h comes after the interface: its ANSI/Unicode macros would otherwise rename the
// interface's operations in this file only.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "sdk/fault_points.h"

#undef CopyFile
#undef CreateProcess
#undef DeleteFile
#undef LoadString
#undef MoveFile

namespace {

HKEY ToHkey(SettingsKey key) {
  return reinterpret_cast<HKEY>(key);
}

}  // namespace

int32_t CWin32OsServices::OpenKey(SettingsKey root, const char* path, bool for_write,
                                  SettingsKey* key) {
  *key = nullptr;
  // Opening for setting values does not create the key, as opening for reading does not.
  HKEY opened = nullptr;
  LONG rc =
      RegOpenKeyExA(ToHkey(root), path, 0, for_write ? KEY_SET_VALUE : KEY_QUERY_VALUE, &opened);
  if (rc != ERROR_SUCCESS) return static_cast<int32_t>(rc);
  *key = reinterpret_cast<SettingsKey>(opened);
  return 0;
}

void CWin32OsServices::CloseKey(SettingsKey key) {
  if (key != nullptr) RegCloseKey(ToHkey(key));
}

int32_t CWin32OsServices::ReadValue(SettingsKey key, const char* name, void* buffer,
                                    uint32_t size) {
  // The registry leaves a too small buffer undefined; reading into a buffer of our own keeps the
  // caller's untouched on every failure. One spare byte keeps the pointer valid for size 0, for
  // which a null buffer would turn the read into a size query.
  std::vector<BYTE> data(static_cast<size_t>(size) + 1);
  DWORD length = size;
  DWORD type = REG_NONE;
  LONG rc = RegQueryValueExA(ToHkey(key), name, nullptr, &type, data.data(), &length);
  if (rc != ERROR_SUCCESS) return static_cast<int32_t>(rc);
  if (length > size) return ERROR_MORE_DATA;
  // A text written without its terminator (the registry allows it) is read with one, which must
  // fit as well, so that the caller never gets an unterminated text.
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && length > 0 && data[length - 1] != 0) {
    if (length == size) return ERROR_MORE_DATA;
    data[length++] = 0;
  }
  std::memcpy(buffer, data.data(), length);
  return 0;
}

int32_t CWin32OsServices::SetNumber(SettingsKey key, const char* name, uint32_t value) {
  DWORD number = value;
  return static_cast<int32_t>(RegSetValueExA(
      ToHkey(key), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number));
}

int32_t CWin32OsServices::SetText(SettingsKey key, const char* name, const char* text,
                                  uint32_t length) {
  // A text of length 0 is a value with no data, which reads back as the empty text into a buffer
  // whose first byte is NUL; any other text is stored with its terminator, as REG_SZ values are.
  std::string data;
  if (length > 0) {
    data.assign(text, length);
    if (data.back() != '\0') data.push_back('\0');
  }
  return static_cast<int32_t>(RegSetValueExA(ToHkey(key), name, 0, REG_SZ,
                                             reinterpret_cast<const BYTE*>(data.c_str()),
                                             static_cast<DWORD>(data.size())));
}

namespace {

// A driver process and the job that holds it and every process it starts. The job ends them all
// when its last handle is closed, which happens at the latest when this process ends.
struct ChildProcess {
  HANDLE process;
  HANDLE job;  // null when the system could not give the process a job
};

// The exit code of a process ended by KillProcess.
constexpr UINT kKilledExitCode = 137;

// The standard handles a driver gets: input from NUL, output and errors to the caller's error
// output (NUL when it has none), so that nothing the driver prints mixes with the caller's own
// output. Both are inheritable copies, to be closed by the caller after the process was created.
struct ChildHandles {
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  ~ChildHandles() {
    if (input != nullptr) CloseHandle(input);
    if (output != nullptr) CloseHandle(output);
  }
};

void MakeChildHandles(ChildHandles* handles) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE null_input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  OPEN_EXISTING, 0, nullptr);
  handles->input = null_input == INVALID_HANDLE_VALUE ? nullptr : null_input;
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), error, GetCurrentProcess(), &handles->output, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    HANDLE null_output = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
    handles->output = null_output == INVALID_HANDLE_VALUE ? nullptr : null_output;
  }
}

}  // namespace

int32_t CWin32OsServices::CreateProcess(const char* command_line, const char* environment,
                                        ProcessHandle* process) {
  *process = 0;
  // CreateProcessA may write into the command line, so it gets a copy; the system takes the
  // program from the line's first word.
  std::vector<char> line(command_line, command_line + std::strlen(command_line) + 1);
  ChildHandles handles;
  MakeChildHandles(&handles);
  HANDLE inherited[2];
  DWORD inherited_count = 0;
  if (handles.input != nullptr) inherited[inherited_count++] = handles.input;
  if (handles.output != nullptr) inherited[inherited_count++] = handles.output;
  // Only these two handles are inherited, none other of the caller's.
  SIZE_T list_size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
  std::vector<char> list_bytes(list_size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_bytes.data());
  bool restricted = inherited_count > 0 &&
                    InitializeProcThreadAttributeList(list, 1, 0, &list_size) &&
                    UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                              inherited_count * sizeof(HANDLE), nullptr, nullptr);
  STARTUPINFOEXA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.StartupInfo.cb = sizeof startup;
  if (restricted) {
    startup.lpAttributeList = list;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.input;
    startup.StartupInfo.hStdOutput = handles.output;
    startup.StartupInfo.hStdError = handles.output;
  }
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof info);
  // Suspended until it is in its job, so that nothing it starts escapes the job.
  DWORD flags = CREATE_SUSPENDED | (restricted ? EXTENDED_STARTUPINFO_PRESENT : 0);
  BOOL created =
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, restricted ? TRUE : FALSE, flags,
                     const_cast<char*>(environment), nullptr, &startup.StartupInfo, &info);
  DWORD create_error = created ? 0 : GetLastError();
  if (restricted) DeleteProcThreadAttributeList(list);
  if (!created) return static_cast<int32_t>(create_error);
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    std::memset(&limits, 0, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !AssignProcessToJobObject(job, info.hProcess)) {
      CloseHandle(job);
      job = nullptr;
    }
  }
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  *process = reinterpret_cast<ProcessHandle>(new ChildProcess{info.hProcess, job});
  return 0;
}

int32_t CWin32OsServices::GetExitCode(ProcessHandle process, int32_t* exit_code) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr) return ERROR_INVALID_HANDLE;
  DWORD code = 0;
  if (!GetExitCodeProcess(child->process, &code)) {
    return static_cast<int32_t>(GetLastError());
  }
  *exit_code = static_cast<int32_t>(code);  // STILL_ACTIVE (259) while it runs
  return 0;
}

void CWin32OsServices::KillProcess(ProcessHandle process) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr) return;
  if (child->job == nullptr || !TerminateJobObject(child->job, kKilledExitCode)) {
    TerminateProcess(child->process, kKilledExitCode);
  }
  WaitForSingleObject(child->process, INFINITE);
}

void CWin32OsServices::CloseProcess(ProcessHandle process) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr) return;
  CloseHandle(child->process);
  if (child->job != nullptr) CloseHandle(child->job);
  delete child;
}

void CWin32OsServices::Sleep(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

int32_t CWin32OsServices::Now() {
  return static_cast<int32_t>(std::time(nullptr));
}

uint64_t CWin32OsServices::MonotonicMs() {
  return static_cast<uint64_t>(GetTickCount64());
}

// Each file operation first passes the host's fault point, which may fail it or end the process.
bool CWin32OsServices::DeleteFile(const char* path) {
  // A missing file is no operation: it passes no fault point, as on POSIX.
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return false;
  if (HsFaultPoint(HS_FAULT_FILE_DELETE) != 0) return false;
  return DeleteFileA(path) != FALSE;
}

bool CWin32OsServices::CanDeleteFile(const char* path) {
  // The file and its folder must both allow it; opening the file for deletion asks both.
  HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool CWin32OsServices::CopyFile(const char* from, const char* to) {
  if (HsFaultPoint(HS_FAULT_FILE_COPY) != 0) return false;
  // Copied beside the target and moved over it: a failed copy leaves the old target, and a link
  // at the target is replaced, not written through.
  std::string temp = std::string(to) + ".tmp-" + std::to_string(GetCurrentProcessId());
  if (!CopyFileA(from, temp.c_str(), FALSE)) return false;
  if (MoveFileExA(temp.c_str(), to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileA(temp.c_str());
  return false;
}

bool CWin32OsServices::MoveFile(const char* from, const char* to) {
  if (HsFaultPoint(HS_FAULT_FILE_RENAME) != 0) return false;
  // Fails when the target exists; write-through: the move is on disk when the call answers.
  return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool CWin32OsServices::FileExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

uint32_t CWin32OsServices::GetShortPath(const char* path, char* out, uint32_t size) {
  if (out == nullptr || size == 0) return 0;
  // The answer is the length without the terminator when the short form fits, else the size it
  // needs (terminator included), which is at least `size`.
  DWORD length = GetShortPathNameA(path, out, size);
  return length < size ? length : 0;
}

bool CWin32OsServices::ReadTextFile(const char* path, uint64_t max_bytes, std::string* text,
                                    uint64_t* file_size) {
  text->clear();
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &attributes)) return false;
  // Only a regular file: not a folder, and not a link that could lead to any file of the user.
  if ((attributes.dwFileAttributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return false;
  }
  // Text mode: the C library reads a CR LF pair as one LF.
  std::FILE* f = std::fopen(path, "rt");
  if (f == nullptr) return false;
  *file_size = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  char chunk[4096];
  while (text->size() < max_bytes) {
    size_t want = static_cast<size_t>(
        max_bytes - text->size() < sizeof chunk ? max_bytes - text->size() : sizeof chunk);
    size_t n = std::fread(chunk, 1, want, f);
    if (n == 0) break;
    text->append(chunk, n);
  }
  std::fclose(f);
  return true;
}

int32_t CWin32OsServices::LoadString(ModuleInstance module, uint32_t id, char* buffer,
                                     int32_t size) {
  // A size of 0 would ask LoadString for a pointer into the resource instead of a copy.
  if (buffer == nullptr || size <= 0) return 0;
  HINSTANCE instance = static_cast<HINSTANCE>(const_cast<void*>(module));
  int copied = LoadStringA(instance, id, buffer, size);
  if (copied <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  return copied;
}
