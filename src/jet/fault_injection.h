// Injected file-system failures for the tests of whole programs (builds with the test hooks).
//
// In a build with TDV_TEST_HOOKS, FileSystem::real() hands out a FaultInjectingFileSystem
// around the POSIX file system when either variable below is set in the environment; in every
// other case, and always in the programs built for use, it is the POSIX file system itself.
//
// The wrapper forwards every call and counts the ones that change the disk, plus the first
// read of each opened path. Counted calls, numbered from 1 in the order they happen, with
// their kind:
//   create  open with CreateReadWrite or CreateNew        write   File::writeAt
//   truncate File::truncate                               sync    File::sync
//   rename  renameNoReplace (path: the new name)          remove  remove
//   mkdir   createFolder                                  syncdir syncDirectoryOf
//   lock    File::tryLock                                 read    the first readAt of a path
//
//   TDV_FAULT_LOG=FILE       appends "<n> <kind> <path>" to FILE for every counted call, so a
//                            run without a fault tells a test how many calls there are.
//   TDV_FAIL_AT=<n>:<ERR>    the n-th counted call fails without being done, with ERR one of
//                            ENOSPC, EIO, EACCES: it throws the jet::Error the POSIX file
//                            system throws for that errno (a lock fails as an I/O error).
//                            Later calls go through unharmed.
#pragma once

#include "jet/file.h"

namespace jet {

// The POSIX file system's report of a failed call: what was tried, on which path, and the
// operating system's errno. Shared so an injected failure reads exactly like a real one.
[[noreturn]] void throwOsError(const std::string& what, const std::string& path, int err);

// The fault-injecting wrapper around `real` when the environment asks for one (see above),
// else nullptr. Always nullptr in builds without the test hooks.
FileSystem* faultInjectionFromEnvironment(FileSystem& real);

}  // namespace jet
