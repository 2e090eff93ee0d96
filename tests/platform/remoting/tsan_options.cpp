// Under ThreadSanitizer: the gRPC, protobuf, abseil and OpenSSL libraries
// come uninstrumented from the distribution, so their own synchronisation is
// invisible and every hand-over through them looks like a race. Reports
// with their frames are suppressed; the runtime's own concurrency is
// checked without them by the in-process runtime tests.
#if defined(__SANITIZE_THREAD__)
#define RVZ_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define RVZ_TSAN 1
#endif
#endif

#ifdef RVZ_TSAN
extern "C" const char* __tsan_default_suppressions() {
  return "race:grpc\n"
         "race:google::protobuf\n"
         "race:absl\n"
         "race:libgrpc\n"
         "race:libgpr\n"
         "race:libcrypto\n"
         "race:libssl\n"
         "race:libupb\n"
         "race:libprotobuf\n"
         "race:libabsl\n"
         "race:libcares\n"
         "race:libre2\n"
         "called_from_lib:libgrpc.so\n"
         "called_from_lib:libgrpc++.so\n"
         "called_from_lib:libgpr.so\n";
}
#endif
