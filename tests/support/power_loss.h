// A simulated power loss for tests: a file layer that keeps apart what has reached the disk and
// drops everything else.
//
// The layer follows the rules a POSIX file system promises after a power cut:
//   - a file's bytes are on the disk as they were at its last fsync (or fdatasync);
//   - a folder's names (files created, renamed, removed) are on the disk as they were at the last
//     fsync of that folder.
// It is a shared library that defines fsync and fdatasync. Linked into a test program it stands
// before the C library for the program and every library it loads (SQLite too); a program started
// with it in LD_PRELOAD (a host driver) gets it the same way. While the environment names a shadow
// folder (kPowerLossEnv) each successful fsync of a file on the disk of the watched folder copies
// the file's bytes into the shadow folder, and each fsync of a folder copies the folder's names.
// Files are known there by inode; the shadow folder holds a hard link to each inode it recorded,
// so that no inode number is given to another file during the run.
//
// PowerLossBegin records the watched folder as it is (all of it counts as on the disk). After the
// programs of the run have ended, PowerLossRestore rebuilds the folder from what was recorded:
// the names of the last synced listing of each folder, each file with the bytes of its last fsync
// (empty when it never had one). That is the folder as the machine finds it after the power cut.
#ifndef DBC_TESTS_SUPPORT_POWER_LOSS_H_
#define DBC_TESTS_SUPPORT_POWER_LOSS_H_

#ifdef __cplusplus
extern "C" {
#endif

// The environment variable that turns the layer on: the shadow folder's path.
#define DBC_POWER_LOSS_ENV "DBC_POWER_LOSS"

// Starts a run: makes the shadow folder (a new folder beside root, on the same disk) and records
// everything below root as on the disk. Answers 0, or -1 with a message in error.
int PowerLossBegin(const char* root, const char* shadow, char* error, unsigned error_size);

// Ends a run with a power cut: replaces root by what was on the disk, then removes the shadow
// folder. Answers 0, or -1 with a message in error.
int PowerLossRestore(const char* root, const char* shadow, char* error, unsigned error_size);

#ifdef __cplusplus
}
#endif

#endif  // DBC_TESTS_SUPPORT_POWER_LOSS_H_
