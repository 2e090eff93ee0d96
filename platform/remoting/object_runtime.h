// The object runtime: class objects registered suspended and resumed
// together, client sessions, one object thread with its own queue per
// object, reference counts, class object locks, disconnection and the live
// object count. It knows nothing of the wire; the gRPC server and in-process
// callers drive it through the operations below.
//
// Creation requests are served on the main thread's message loop, one at a
// time: the main thread takes a lock on the class object, starts the new
// object thread, waits without a time limit until that thread has built the
// object, and answers. A creation request for a class that is registered but
// not yet resumed waits until the resume. The object thread then serves the
// object's calls one at a time; when the last reference goes it destroys the
// object on that same thread and ends.
//
// Locks: the runtime's own lock is taken before an object thread's queue
// lock (calls are queued under it, so that none overtakes a release); a
// creation request's lock is never held together with the runtime's. The
// live count is changed outside the runtime's lock wherever a change may be
// the last release, whose callback calls into the host.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/remoting/dispatch.h"
#include "platform/remoting/live_count.h"
#include "platform/remoting/message_loop.h"
#include "platform/remoting/runtime_events.h"
#include "platform/remoting/type_library.h"

namespace rvz::remoting {

using ObjectId = uint64_t;
using SessionId = std::string;

// Builds one object of a class, on the new object thread. A failure is
// thrown (ComError keeps its status; anything else becomes E_UNEXPECTED).
using ObjectFactory = std::function<std::unique_ptr<DispatchObject>()>;

struct RuntimeLimits {
  size_t maxObjectsPerSession = 256;
  size_t maxSessions = 1024;
  uint32_t maxRefsPerObject = 1u << 20;
};

struct CreateResult {
  HRESULT hr = S_OK;
  ErrorInfo error;
  ObjectId id = 0;
  const ClassDesc* cls = nullptr;
};

struct CallResult {
  HRESULT hr = S_OK;
  ErrorInfo error;
  int32_t argError = -1;
  const MethodDesc* method = nullptr;  // set once the member was found
  Variant result;
  std::vector<Variant> args;  // after the call: out and in-out values in their places
};

struct ReleaseResult {
  HRESULT hr = S_OK;
  ErrorInfo error;
  uint32_t refCount = 0;
};

class ObjectRuntime {
 public:
  using CreateDone = std::function<void(CreateResult&)>;
  using CallDone = std::function<void(CallResult&)>;
  using ReleaseDone = std::function<void(ReleaseResult&)>;

  ObjectRuntime(MessageLoop& mainLoop, LiveCount& live, RuntimeLimits limits = {});
  ObjectRuntime(const ObjectRuntime&) = delete;
  ObjectRuntime& operator=(const ObjectRuntime&) = delete;
  ~ObjectRuntime();

  // Class objects. The cookie revokes the registration. A suspended class
  // takes creation requests only after resumeClassObjects().
  uint32_t registerClassObject(const ClassDesc& cls, ObjectFactory factory, bool suspended = true);
  void resumeClassObjects();
  void revokeClassObject(uint32_t cookie);
  // A lock the server takes on a class object itself (not for a client).
  HRESULT lockClassObject(uint32_t cookie, bool lock, ErrorInfo& error);

  // Sessions: everything a client holds belongs to its session, and
  // closing the session releases it.
  SessionId openSession();  // throws ComError when the server refuses
  void closeSession(const SessionId& session);
  bool hasSession(const SessionId& session) const;

  // Each completion is called exactly once: at once when the request is
  // refused, otherwise from the main thread (creation) or from the object's
  // thread (calls; a last release after the object is destroyed).
  void createObject(const SessionId& session, std::string_view className, bool outer, std::string_view iid,
                    CreateDone done);
  void invoke(const SessionId& session, ObjectId object, int32_t dispid, std::vector<Variant> args, CallDone done);
  void invokeByName(const SessionId& session, ObjectId object, std::string_view name, std::vector<Variant> args,
                    CallDone done);
  void release(const SessionId& session, ObjectId object, ReleaseDone done);
  HRESULT addRef(const SessionId& session, ObjectId object, uint32_t& refCount, ErrorInfo& error);
  HRESULT idsOfNames(const SessionId& session, ObjectId object, std::span<const std::string> names,
                     std::vector<int32_t>& ids, ErrorInfo& error);
  HRESULT lockServer(const SessionId& session, std::string_view className, bool lock, ErrorInfo& error);
  HRESULT identity(const SessionId& session, ObjectId object, DispatchIdentity& id, ErrorInfo& error) const;

  // Disconnects an object whose references remain: its queued and later
  // calls fail with RPC_E_DISCONNECTED, and it is destroyed on its thread.
  void disconnectObject(ObjectId object);
  void disconnectAll();

  // Refuses new work, fails waiting creation requests, disconnects every
  // object and waits for the object threads to end. Idempotent.
  void shutdown();

  // Where objects created and destroyed are reported; set before the first
  // creation request, it must outlive the runtime. Null: not reported.
  void setEvents(RuntimeEvents* events) { events_ = events; }
  RuntimeEvents* events() const { return events_; }

  // How object threads are started: by default a std::thread running `body`.
  // A start that throws fails that creation request (E_OUTOFMEMORY with the
  // reason) and leaves the runtime as it was. Set before the first creation.
  using ThreadStarter = std::function<std::thread(std::function<void()> body)>;
  void setThreadStarter(ThreadStarter starter) { startThread_ = std::move(starter); }

  // Object threads that have not ended yet.
  size_t objectThreadCount() const;
  size_t objectCount() const;
  size_t sessionCount() const;

 private:
  struct ClassObject;
  struct ObjectThread;
  struct Entry;
  struct Session;
  struct PendingCreation;

  std::shared_ptr<ClassObject> findClassLocked(std::string_view className, ErrorInfo& error) const;
  std::shared_ptr<Entry> findEntryLocked(const SessionId& session, ObjectId object, ErrorInfo& error) const;
  void serveCreation(const std::shared_ptr<PendingCreation>& pending);
  // Parts of serveCreation: starting the object thread and waiting for its
  // build (`thread` empty when none started); handing the built object to
  // its session (under mu_); the answer to a request whose own answer
  // could not be built, from the exception in flight.
  CreateResult buildOnNewThread(const std::shared_ptr<PendingCreation>& pending, std::shared_ptr<ObjectThread>& thread);
  void adoptCreatedLocked(const PendingCreation& pending, const std::shared_ptr<ObjectThread>& thread,
                          CreateResult& result);
  void answerCreationFailure(const PendingCreation& pending);
  void objectThreadMain(std::shared_ptr<ObjectThread> thread, std::shared_ptr<PendingCreation> pending);
  void endEntryLocked(const std::shared_ptr<Entry>& entry, ReleaseDone done);
  void dispatch(std::shared_ptr<Entry> entry, int32_t dispid, std::vector<Variant> args, CallDone done);
  void finishThread(const std::shared_ptr<ObjectThread>& thread);
  void reapThreads();

  MessageLoop& mainLoop_;
  LiveCount& live_;
  const RuntimeLimits limits_;

  mutable std::mutex mu_;
  std::condition_variable threadsCv_;
  std::vector<std::shared_ptr<ClassObject>> classes_;
  std::unordered_map<SessionId, std::shared_ptr<Session>> sessions_;
  std::unordered_map<ObjectId, std::shared_ptr<Entry>> objects_;
  std::vector<std::shared_ptr<PendingCreation>> pending_;  // not yet taken by the main thread
  std::unordered_set<std::shared_ptr<ObjectThread>> running_;
  std::vector<std::shared_ptr<ObjectThread>> finished_;  // ended, still to be joined
  size_t creationsInProgress_ = 0;
  uint32_t nextCookie_ = 1;
  ObjectId nextObject_ = 1;
  bool stopping_ = false;
  RuntimeEvents* events_ = nullptr;
  ThreadStarter startThread_ = [](std::function<void()> body) { return std::thread(std::move(body)); };
};

}  // namespace rvz::remoting
