// Class objects, sessions, object threads and references.
#include "platform/remoting/object_runtime.h"

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

#include "platform/oplog/operations_log.h"
#include "platform/remoting/hresults.h"

namespace {

// Sanitizer builds replace malloc, so glibc's arenas are never set up and
// malloc_trim would walk uninitialised arena lists (it crashed on an object
// thread under AddressSanitizer); there is nothing of glibc's to trim then.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define RVZ_MALLOC_REPLACED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(RVZ_MALLOC_REPLACED)
void returnFreeMemoryToTheSystem() {}
#else
void returnFreeMemoryToTheSystem() { ::malloc_trim(0); }
#endif

}  // namespace

namespace rvz::remoting {

struct ObjectRuntime::ClassObject {
  uint32_t cookie = 0;
  const ClassDesc* cls = nullptr;
  ObjectFactory factory;
  bool suspended = true;
  bool revoked = false;
  uint32_t serverLocks = 0;
};

// The thread of one object and its queue. `object`, `leaving` and
// `afterEnd` belong to the thread itself; everything reaches them through
// tasks run on it.
struct ObjectRuntime::ObjectThread {
  TaskQueue queue;
  std::thread thread;
  DispatchObject* object = nullptr;
  bool leaving = false;
  std::vector<ReleaseDone> afterEnd;
  // Set with the object's entry (under the runtime's lock, before any task
  // can end the thread), read when the object is destroyed; 0: never served.
  ObjectId id = 0;
  SessionId session;
};

struct ObjectRuntime::Entry {
  ObjectId id = 0;
  SessionId session;
  DispatchIdentity identity;
  std::shared_ptr<ObjectThread> thread;
  uint32_t refs = 1;    // the session's references; guarded by mu_
  bool ending = false;  // the end message is queued; guarded by mu_
  std::atomic<bool> disconnected{false};
};

struct ObjectRuntime::Session {
  SessionId id;
  std::unordered_map<ObjectId, std::shared_ptr<Entry>> objects;
  size_t creating = 0;
  std::unordered_map<uint32_t, uint32_t> locks;  // class cookie -> locks held
};

// A creation request from its arrival until it is answered: the main
// thread's task and the runtime's shutdown race to claim it, and whoever
// claims it answers it.
struct ObjectRuntime::PendingCreation {
  SessionId session;
  std::shared_ptr<ClassObject> cls;
  bool outer = false;
  std::string iid;
  CreateDone done;
  bool posted = false;  // guarded by the runtime's mu_
  std::atomic<bool> claimed{false};

  // The object thread's answer to the main thread.
  std::mutex mu;
  std::condition_variable cv;
  bool built = false;
  CreateResult result;
  bool hasObject = false;

  bool claim() { return !claimed.exchange(true); }
};

namespace {

SessionId newSessionId() {
  std::random_device rd;
  char buf[33];
  std::snprintf(buf, sizeof buf, "%08x%08x%08x%08x", rd(), rd(), rd(), rd());
  return buf;
}

std::string objectText(ObjectId id) { return "object " + std::to_string(id); }

// Runs a function when the scope ends, however it ends.
template <class F>
class OnExit {
 public:
  explicit OnExit(F f) : f_(std::move(f)) {}
  ~OnExit() { f_(); }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  F f_;
};

}  // namespace

ObjectRuntime::ObjectRuntime(MessageLoop& mainLoop, LiveCount& live, RuntimeLimits limits)
    : mainLoop_(mainLoop), live_(live), limits_(limits) {}

ObjectRuntime::~ObjectRuntime() { shutdown(); }

uint32_t ObjectRuntime::registerClassObject(const ClassDesc& cls, ObjectFactory factory, bool suspended) {
  auto c = std::make_shared<ClassObject>();
  c->cls = &cls;
  c->factory = std::move(factory);
  c->suspended = suspended;
  std::lock_guard lock(mu_);
  c->cookie = nextCookie_++;
  classes_.push_back(c);
  return c->cookie;
}

void ObjectRuntime::resumeClassObjects() {
  std::vector<std::shared_ptr<PendingCreation>> toPost;
  {
    std::lock_guard lock(mu_);
    for (auto& c : classes_) c->suspended = false;
    for (auto& p : pending_) {
      if (!p->posted && !p->cls->suspended) {
        p->posted = true;
        toPost.push_back(p);
      }
    }
  }
  for (auto& p : toPost) {
    // The task touches the runtime only after claiming the request, and a
    // runtime that shut down has claimed every request already.
    mainLoop_.post([this, p] {
      if (p->claim()) serveCreation(p);
    });
  }
}

void ObjectRuntime::revokeClassObject(uint32_t cookie) {
  std::vector<std::shared_ptr<PendingCreation>> toPost;
  {
    std::lock_guard lock(mu_);
    for (auto it = classes_.begin(); it != classes_.end(); ++it) {
      if ((*it)->cookie != cookie) continue;
      (*it)->revoked = true;
      // Requests still waiting for a resume are answered now: not registered.
      for (auto& p : pending_) {
        if (!p->posted && p->cls == *it) {
          p->posted = true;
          toPost.push_back(p);
        }
      }
      classes_.erase(it);
      break;
    }
  }
  for (auto& p : toPost) {
    mainLoop_.post([this, p] {
      if (p->claim()) serveCreation(p);
    });
  }
}

HRESULT ObjectRuntime::lockClassObject(uint32_t cookie, bool lock, ErrorInfo& error) {
  std::unique_lock guard(mu_);
  for (auto& c : classes_) {
    if (c->cookie != cookie) continue;
    if (lock) {
      ++c->serverLocks;
      live_.add();
    } else {
      if (c->serverLocks == 0) {
        error = runtimeError(E_FAIL, std::string(c->cls->progId) + " is not locked by the server");
        return E_FAIL;
      }
      --c->serverLocks;
      guard.unlock();
      live_.release();
    }
    error = ErrorInfo{};
    return S_OK;
  }
  error = runtimeError(REGDB_E_CLASSNOTREG, "No class object is registered under cookie " + std::to_string(cookie));
  return REGDB_E_CLASSNOTREG;
}

SessionId ObjectRuntime::openSession() {
  std::lock_guard lock(mu_);
  if (stopping_) throw ComError(CO_E_SERVER_STOPPING, "The server is stopping");
  if (sessions_.size() >= limits_.maxSessions)
    throw ComError(E_OUTOFMEMORY,
                   "Too many client sessions: the server takes at most " + std::to_string(limits_.maxSessions));
  auto s = std::make_shared<Session>();
  do {
    s->id = newSessionId();
  } while (sessions_.count(s->id));
  sessions_[s->id] = s;
  return s->id;
}

void ObjectRuntime::closeSession(const SessionId& session) {
  uint32_t locks = 0;
  {
    std::lock_guard lock(mu_);
    auto it = sessions_.find(session);
    if (it == sessions_.end()) return;
    std::shared_ptr<Session> s = it->second;
    sessions_.erase(it);
    std::vector<std::shared_ptr<Entry>> entries;
    for (auto& [id, e] : s->objects) entries.push_back(e);
    for (auto& e : entries) endEntryLocked(e, nullptr);
    for (auto& [cookie, n] : s->locks) locks += n;
  }
  // Outside the lock: the last release calls back into the host.
  for (uint32_t i = 0; i < locks; ++i) live_.release();
}

bool ObjectRuntime::hasSession(const SessionId& session) const {
  std::lock_guard lock(mu_);
  return sessions_.count(session) != 0;
}

std::shared_ptr<ObjectRuntime::ClassObject> ObjectRuntime::findClassLocked(std::string_view className,
                                                                           ErrorInfo& error) const {
  auto guid = canonicalGuid(className);
  for (auto& c : classes_) {
    if (guid ? c->cls->clsid == *guid : text::equalsNoCaseAscii(c->cls->progId, className)) return c;
  }
  if (guid) {
    error = runtimeError(REGDB_E_CLASSNOTREG, "Class not registered: " + *guid);
  } else {
    error = runtimeError(CO_E_CLASSSTRING, "Invalid class string: no class is registered under the ProgID \"" +
                                               std::string(className) + "\"");
  }
  return nullptr;
}

std::shared_ptr<ObjectRuntime::Entry> ObjectRuntime::findEntryLocked(const SessionId& session, ObjectId object,
                                                                     ErrorInfo& error) const {
  auto s = sessions_.find(session);
  if (s == sessions_.end()) {
    error = runtimeError(RPC_E_DISCONNECTED,
                         stopping_ ? "The server is stopping" : "The client session is unknown or has ended");
    return nullptr;
  }
  auto it = s->second->objects.find(object);
  if (it == s->second->objects.end()) {
    error = runtimeError(RPC_E_DISCONNECTED, "The " + objectText(object) +
                                                 " is not connected: it was released or disconnected, or this "
                                                 "client never held it");
    return nullptr;
  }
  return it->second;
}

void ObjectRuntime::createObject(const SessionId& session, std::string_view className, bool outer, std::string_view iid,
                                 CreateDone done) {
  CreateResult r;
  std::shared_ptr<PendingCreation> p;
  bool post = false;
  {
    std::lock_guard lock(mu_);
    auto s = sessions_.find(session);
    std::optional<std::string> canonicalIid =
        iid.empty() ? std::optional<std::string>(std::string(kIidIDispatch)) : canonicalGuid(iid);
    if (stopping_) {
      r.error = runtimeError(CO_E_SERVER_STOPPING, "The server is stopping");
    } else if (s == sessions_.end()) {
      r.error = runtimeError(RPC_E_DISCONNECTED, "The client session is unknown or has ended");
    } else if (s->second->objects.size() + s->second->creating >= limits_.maxObjectsPerSession) {
      r.error = runtimeError(E_OUTOFMEMORY, "Too many objects for one client: a client holds at most " +
                                                std::to_string(limits_.maxObjectsPerSession));
    } else if (!canonicalIid) {
      r.error = runtimeError(E_INVALIDARG, "Invalid interface id \"" + std::string(iid) + "\": not a GUID");
    } else if (auto cls = findClassLocked(className, r.error)) {
      p = std::make_shared<PendingCreation>();
      p->session = session;
      p->cls = cls;
      p->outer = outer;
      p->iid = *canonicalIid;
      p->done = std::move(done);
      // A suspended class's requests are posted by the resume instead.
      post = p->posted = !cls->suspended;
      ++s->second->creating;
      pending_.push_back(p);
    }
  }
  if (!p) {
    r.hr = r.error.hresult;
    done(r);
    return;
  }
  if (post) {
    mainLoop_.post([this, p] {
      if (p->claim()) serveCreation(p);
    });
  }
}

void ObjectRuntime::serveCreation(const std::shared_ptr<PendingCreation>& p) {
  {
    std::lock_guard lock(mu_);
    ++creationsInProgress_;
    std::erase(pending_, p);
  }
  // Whatever way this request ends, it stops counting as in progress, or a
  // shutdown would wait for it forever.
  OnExit inProgress([this] {
    {
      std::lock_guard lock(mu_);
      --creationsInProgress_;
    }
    threadsCv_.notify_all();
  });
  // The session's slot for this creation, given back once (at the latest
  // when the request ends).
  bool slotHeld = true;
  auto giveSlotBackLocked = [&] {
    if (!std::exchange(slotHeld, false)) return;
    auto s = sessions_.find(p->session);
    if (s != sessions_.end()) --s->second->creating;
  };
  OnExit slot([&] {
    std::lock_guard lock(mu_);
    giveSlotBackLocked();
  });
  bool answered = false;
  try {
    reapThreads();

    CreateResult r;
    std::shared_ptr<ObjectThread> t;
    bool revoked;
    {
      std::lock_guard lock(mu_);
      revoked = p->cls->revoked;
    }
    // The class object's own lock for the length of the request.
    LiveCount::Hold requestLock(live_);
    if (revoked) {
      r.hr = REGDB_E_CLASSNOTREG;
      r.error = runtimeError(r.hr, "Class not registered: " + std::string(p->cls->cls->progId) + " was revoked");
    } else {
      r = buildOnNewThread(p, t);
    }

    bool hasObject = t && p->hasObject;
    if (t && !hasObject) {
      // A failed build leaves no thread behind: it ends right after answering.
      std::unique_lock lock(mu_);
      threadsCv_.wait(lock, [&] { return running_.count(t) == 0; });
    }
    {
      std::lock_guard lock(mu_);
      giveSlotBackLocked();
      if (hasObject) adoptCreatedLocked(*p, t, r);
    }
    reapThreads();
    r.cls = p->cls->cls;
    // The request's lock goes before the answer, so that a client that has its
    // answer sees the count without it (and a failed first request has been
    // the last release by then).
    requestLock.release();
    answered = true;
    p->done(r);
  } catch (...) {
    // The answer could not be built or delivered. One not yet given fails the
    // request; an object already handed to the session ends with it.
    if (!answered) answerCreationFailure(*p);
  }
}

CreateResult ObjectRuntime::buildOnNewThread(const std::shared_ptr<PendingCreation>& p,
                                             std::shared_ptr<ObjectThread>& t) {
  t = std::make_shared<ObjectThread>();
  std::string notStarted;
  {
    std::lock_guard lock(mu_);
    running_.insert(t);
    try {
      t->thread = startThread_([this, t, p] { objectThreadMain(t, p); });
    } catch (const std::exception& e) {
      running_.erase(t);
      notStarted = e.what();
    }
  }
  if (!notStarted.empty() || !t->thread.joinable()) {
    t.reset();
    CreateResult r;
    r.hr = E_OUTOFMEMORY;
    r.error = runtimeError(r.hr, "The object thread of " + std::string(p->cls->cls->progId) +
                                     " could not start: " + (notStarted.empty() ? "no thread" : notStarted));
    return r;
  }
  std::unique_lock lock(p->mu);
  p->cv.wait(lock, [&] { return p->built; });
  return std::move(p->result);
}

void ObjectRuntime::adoptCreatedLocked(const PendingCreation& p, const std::shared_ptr<ObjectThread>& t,
                                       CreateResult& r) {
  auto s = sessions_.find(p.session);
  auto e = std::make_shared<Entry>();
  e->id = nextObject_++;
  e->session = p.session;
  e->identity = DispatchIdentity{p.cls->cls, p.cls->cls->iface};
  e->thread = t;
  if (stopping_ || s == sessions_.end()) {
    // Nobody is left to hold the object: it ends at once.
    endEntryLocked(e, nullptr);
    r.hr = stopping_ ? CO_E_SERVER_STOPPING : RPC_E_DISCONNECTED;
    r.error = runtimeError(
        r.hr, stopping_ ? "The server is stopping" : "The client session ended while its object was being created");
    return;
  }
  objects_[e->id] = e;
  s->second->objects[e->id] = e;
  r.id = e->id;
  t->id = e->id;
  t->session = e->session;
  if (events_) events_->objectCreated(e->session, e->id, *p.cls->cls);
}

void ObjectRuntime::answerCreationFailure(const PendingCreation& p) {
  CreateResult r;
  r.error = errorFromCurrentException(text::utf8ToWide(p.cls->cls->progId), std::string(kIidIDispatch));
  r.hr = r.error.hresult;
  r.cls = p.cls->cls;
  try {
    p.done(r);
  } catch (...) {
  }
}

void ObjectRuntime::objectThreadMain(std::shared_ptr<ObjectThread> t, std::shared_ptr<PendingCreation> p) {
  const ClassDesc& cls = *p->cls->cls;
  CreateResult r;
  std::unique_ptr<DispatchObject> object;
  if (p->outer && p->iid != kIidIUnknown) {
    r.hr = CLASS_E_NOAGGREGATION;
    r.error = runtimeError(r.hr, std::string(cls.progId) + " does not support aggregation", cls.progId, p->iid);
  } else if (p->iid != kIidIUnknown && p->iid != kIidIDispatch && !cls.iface->derivesFrom(p->iid)) {
    r.hr = E_NOINTERFACE;
    r.error =
        runtimeError(r.hr, "No such interface supported: " + std::string(cls.progId) + " has no interface " + p->iid,
                     cls.progId, p->iid);
  } else {
    try {
      object = p->cls->factory();
      if (!object) throw ComError(E_UNEXPECTED, "The class " + std::string(cls.progId) + " built no object");
    } catch (...) {
      r.error = errorFromCurrentException(text::utf8ToWide(cls.progId), std::string(cls.iface->iid));
      r.hr = r.error.hresult;
    }
  }
  // The object's unit of the live count, from its build to its destruction.
  std::optional<LiveCount::Hold> alive;
  if (object) alive.emplace(live_);
  {
    std::lock_guard lock(p->mu);
    p->result = std::move(r);
    p->hasObject = object != nullptr;
    p->built = true;
  }
  p->cv.notify_all();
  p.reset();
  if (!object) {
    finishThread(t);
    return;
  }

  t->object = object.get();
  bool named = false;
  while (!t->leaving) {
    std::optional<Task> task = t->queue.pop();
    if (!task) break;
    // The id is known once the creation has been answered, before any
    // call arrives: lines logged by the object's calls carry it.
    if (!named && t->id != 0) {
      oplog::setThreadFields({{"object", std::to_string(t->id)}, {"class", cls.progId}});
      named = true;
    }
    (*task)();
  }
  t->queue.close();
  t->object = nullptr;
  while (std::optional<Task> task = t->queue.tryPop()) (*task)();
  object.reset();
  // The object's connections, statement caches and packets were freed into
  // this thread's malloc arena, which glibc keeps for reuse even after the
  // thread ends: hand free memory back, so that a server shrinks back once a
  // burst of clients has gone.
  returnFreeMemoryToTheSystem();
  oplog::setThreadFields({});
  if (events_ && t->id != 0) events_->objectDestroyed(t->session, t->id, cls);
  alive.reset();
  std::vector<ReleaseDone> waiters = std::move(t->afterEnd);
  finishThread(t);
  // The runtime is not touched from here on; its shutdown joins this thread.
  for (auto& w : waiters) {
    try {
      ReleaseResult rr;
      w(rr);
    } catch (...) {
    }
  }
}

void ObjectRuntime::endEntryLocked(const std::shared_ptr<Entry>& e, ReleaseDone done) {
  if (e->ending) {
    if (done) {
      ReleaseResult r;
      done(r);
    }
    return;
  }
  e->ending = true;
  e->refs = 0;
  objects_.erase(e->id);
  auto s = sessions_.find(e->session);
  if (s != sessions_.end()) s->second->objects.erase(e->id);
  ObjectThread* t = e->thread.get();
  Task end = [t, done = std::move(done)]() mutable {
    t->leaving = true;
    if (done) t->afterEnd.push_back(std::move(done));
  };
  t->queue.push(std::move(end));
}

void ObjectRuntime::invoke(const SessionId& session, ObjectId object, int32_t dispid, std::vector<Variant> args,
                           CallDone done) {
  CallResult r;
  std::shared_ptr<Entry> e;
  {
    std::lock_guard lock(mu_);
    e = findEntryLocked(session, object, r.error);
  }
  if (!e) {
    r.hr = r.error.hresult;
    done(r);
    return;
  }
  dispatch(std::move(e), dispid, std::move(args), std::move(done));
}

void ObjectRuntime::invokeByName(const SessionId& session, ObjectId object, std::string_view name,
                                 std::vector<Variant> args, CallDone done) {
  CallResult r;
  std::shared_ptr<Entry> e;
  {
    std::lock_guard lock(mu_);
    e = findEntryLocked(session, object, r.error);
  }
  if (e) {
    if (const MethodDesc* m = e->identity.iface->findMethod(name)) {
      dispatch(std::move(e), m->dispid, std::move(args), std::move(done));
      return;
    }
    r.error =
        runtimeError(DISP_E_UNKNOWNNAME,
                     "Unknown name: " + std::string(e->identity.iface->name) + " has no member " + std::string(name),
                     e->identity.cls->progId, e->identity.iface->iid);
  }
  r.hr = r.error.hresult;
  done(r);
}

void ObjectRuntime::dispatch(std::shared_ptr<Entry> e, int32_t dispid, std::vector<Variant> args, CallDone done) {
  CallResult r;
  CallCheck check = prepareCall(e->identity, dispid, args, r.error);
  r.method = check.method;
  if (failed(check.hr)) {
    r.hr = check.hr;
    r.argError = check.argError;
    done(r);
    return;
  }
  Entry* entry = e.get();
  Task task = [e, method = check.method, args = std::move(args), done]() mutable {
    CallResult r;
    r.method = method;
    DispatchObject* object = e->thread->object;
    if (e->disconnected.load() || !object) {
      r.hr = RPC_E_DISCONNECTED;
      r.error = runtimeError(r.hr, "The " + objectText(e->id) + " was disconnected from its clients",
                             e->identity.cls->progId, e->identity.iface->iid);
    } else {
      r.hr = runCall(e->identity, *object, *method, args, r.result, r.error);
      r.args = std::move(args);
    }
    done(r);
  };
  bool queued = false;
  {
    std::lock_guard lock(mu_);
    // Pushed under the lock so that a call can never overtake the end
    // message of a release that came after it.
    if (!entry->ending) queued = entry->thread->queue.push(std::move(task));
  }
  if (!queued) {
    r.hr = RPC_E_DISCONNECTED;
    r.error = runtimeError(r.hr, "The " + objectText(entry->id) + " is not connected: it was released",
                           entry->identity.cls->progId, entry->identity.iface->iid);
    done(r);
  }
}

void ObjectRuntime::release(const SessionId& session, ObjectId object, ReleaseDone done) {
  ReleaseResult r;
  {
    std::lock_guard lock(mu_);
    auto e = findEntryLocked(session, object, r.error);
    if (e) {
      if (--e->refs > 0) {
        r.refCount = e->refs;
      } else {
        endEntryLocked(e, std::move(done));
        return;
      }
    } else {
      r.hr = r.error.hresult;
    }
  }
  done(r);
}

HRESULT ObjectRuntime::addRef(const SessionId& session, ObjectId object, uint32_t& refCount, ErrorInfo& error) {
  std::lock_guard lock(mu_);
  auto e = findEntryLocked(session, object, error);
  if (!e) return error.hresult;
  if (e->refs >= limits_.maxRefsPerObject) {
    error = runtimeError(E_OUTOFMEMORY, "Too many references to the " + objectText(object) + ": at most " +
                                            std::to_string(limits_.maxRefsPerObject));
    return error.hresult;
  }
  refCount = ++e->refs;
  error = ErrorInfo{};
  return S_OK;
}

HRESULT ObjectRuntime::idsOfNames(const SessionId& session, ObjectId object, std::span<const std::string> names,
                                  std::vector<int32_t>& ids, ErrorInfo& error) {
  DispatchIdentity id;
  HRESULT hr = identity(session, object, id, error);
  if (failed(hr)) return hr;
  return remoting::idsOfNames(id, names, ids, error);
}

HRESULT ObjectRuntime::identity(const SessionId& session, ObjectId object, DispatchIdentity& id,
                                ErrorInfo& error) const {
  std::lock_guard lock(mu_);
  auto e = findEntryLocked(session, object, error);
  if (!e) return error.hresult;
  id = e->identity;
  error = ErrorInfo{};
  return S_OK;
}

HRESULT ObjectRuntime::lockServer(const SessionId& session, std::string_view className, bool lock, ErrorInfo& error) {
  std::unique_lock guard(mu_);
  auto s = sessions_.find(session);
  if (s == sessions_.end()) {
    error = runtimeError(RPC_E_DISCONNECTED, "The client session is unknown or has ended");
    return error.hresult;
  }
  auto cls = findClassLocked(className, error);
  if (!cls) return error.hresult;
  uint32_t& held = s->second->locks[cls->cookie];
  if (lock) {
    ++held;
    live_.add();
  } else {
    if (held == 0) {
      error =
          runtimeError(E_FAIL, "The class object " + std::string(cls->cls->progId) + " is not locked by this client");
      return error.hresult;
    }
    --held;
    guard.unlock();
    live_.release();
  }
  error = ErrorInfo{};
  return S_OK;
}

void ObjectRuntime::disconnectObject(ObjectId object) {
  std::lock_guard lock(mu_);
  auto it = objects_.find(object);
  if (it == objects_.end()) return;
  std::shared_ptr<Entry> e = it->second;
  e->disconnected = true;
  endEntryLocked(e, nullptr);
}

void ObjectRuntime::disconnectAll() {
  std::lock_guard lock(mu_);
  std::vector<std::shared_ptr<Entry>> all;
  for (auto& [id, e] : objects_) all.push_back(e);
  for (auto& e : all) {
    e->disconnected = true;
    endEntryLocked(e, nullptr);
  }
}

void ObjectRuntime::shutdown() {
  std::vector<std::shared_ptr<PendingCreation>> waiting;
  uint32_t locks = 0;
  {
    std::lock_guard lock(mu_);
    stopping_ = true;
    waiting.swap(pending_);
    for (auto& [id, s] : sessions_)
      for (auto& [cookie, n] : s->locks) locks += n;
    sessions_.clear();
  }
  disconnectAll();
  for (auto& p : waiting) {
    if (!p->claim()) continue;
    CreateResult r;
    r.hr = CO_E_SERVER_STOPPING;
    r.error = runtimeError(r.hr, "The server stopped before the creation request was served");
    try {
      p->done(r);
    } catch (...) {
    }
  }
  for (uint32_t i = 0; i < locks; ++i) live_.release();
  {
    std::unique_lock lock(mu_);
    threadsCv_.wait(lock, [&] { return creationsInProgress_ == 0 && running_.empty(); });
  }
  reapThreads();
}

void ObjectRuntime::finishThread(const std::shared_ptr<ObjectThread>& t) {
  {
    std::lock_guard lock(mu_);
    running_.erase(t);
    finished_.push_back(t);
  }
  threadsCv_.notify_all();
}

void ObjectRuntime::reapThreads() {
  std::vector<std::shared_ptr<ObjectThread>> done;
  {
    std::lock_guard lock(mu_);
    done.swap(finished_);
  }
  for (auto& t : done)
    if (t->thread.joinable()) t->thread.join();
}

size_t ObjectRuntime::objectThreadCount() const {
  std::lock_guard lock(mu_);
  return running_.size();
}

size_t ObjectRuntime::objectCount() const {
  std::lock_guard lock(mu_);
  return objects_.size();
}

size_t ObjectRuntime::sessionCount() const {
  std::lock_guard lock(mu_);
  return sessions_.size();
}

}  // namespace rvz::remoting
