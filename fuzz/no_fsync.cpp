// The trace file is replaced through AtomicFile, which syncs it to the disk: right for users,
// but a sync per input would slow fuzzing a hundredfold. Nothing here needs to survive a power cut.
extern "C" int fsync(int) {
    return 0;
}
