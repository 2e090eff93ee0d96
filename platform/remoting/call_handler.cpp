// The transport-neutral part of serving a request: checks, hand-over to the
// runtime, and the reply message.
#include "platform/remoting/call_handler.h"

#include <vector>

#include "platform/remoting/hresults.h"
#include "platform/remoting/invoke_reply_body.h"
#include "platform/remoting/wire_codec.h"

namespace rvz::remoting {

namespace {

void fillInvokeReply(CallResult& r, v1::InvokeReply* reply, Variant* inPlace) {
  if (succeeded(r.hr)) {
    try {
      if (inPlace && frames::writesInPlace(r.result))
        *inPlace = std::move(r.result);
      else
        reply->set_result(encodeVariant(r.result));
      for (size_t i = 0; r.method && i < r.method->params.size() && i < r.args.size(); ++i) {
        if (r.method->params[i].dir == ParamDir::In) continue;
        reply->add_out_positions(static_cast<uint32_t>(i));
        reply->add_out_args(encodeVariant(r.args[i]));
      }
      ErrorInfo ok;
      ok.hresult = r.hr;
      putFailure(ok, -1, reply->mutable_error());
      return;
    } catch (const std::exception& e) {
      reply->clear_result();
      if (inPlace) *inPlace = Variant();
      reply->clear_out_positions();
      reply->clear_out_args();
      r.hr = E_UNEXPECTED;
      r.error = runtimeError(r.hr, std::string("The reply cannot be encoded: ") + e.what());
    }
  }
  r.error.hresult = r.hr;
  putFailure(r.error, r.argError, reply->mutable_error());
}

v1::ParamInfo::Direction wireDirection(ParamDir d) {
  switch (d) {
    case ParamDir::In: return v1::ParamInfo::IN;
    case ParamDir::Out: return v1::ParamInfo::OUT;
    case ParamDir::InOut: return v1::ParamInfo::IN_OUT;
  }
  return v1::ParamInfo::IN;
}

void fillMethods(const InterfaceDesc& iface, v1::GetTypeInfoReply* reply) {
  std::vector<const InterfaceDesc*> chain;
  for (const InterfaceDesc* i = &iface; i; i = i->base) chain.insert(chain.begin(), i);
  for (const InterfaceDesc* i : chain) {
    for (const MethodDesc& m : i->methods) {
      v1::MethodInfo* mi = reply->add_methods();
      mi->set_name(std::string(m.name));
      mi->set_dispid(m.dispid);
      mi->set_result_vt(m.result);
      for (const ParamDesc& p : m.params) {
        v1::ParamInfo* pi = mi->add_params();
        pi->set_name(std::string(p.name));
        pi->set_vt(p.type);
        pi->set_direction(wireDirection(p.dir));
        pi->set_by_ref(p.byRef);
      }
    }
  }
}

}  // namespace

bool CallHandler::admits(std::string_view presented, std::string_view peer) const {
  if (config_.token.empty() || tokenMatches(config_.token, presented)) return true;
  if (auto* ev = runtime_.events()) ev->requestRefused(peer, "the client token is missing or wrong");
  return false;
}

SessionId CallHandler::openSession(std::string_view peer) {
  SessionId id;
  try {
    id = runtime_.openSession();
  } catch (const ComError& e) {
    if (auto* ev = runtime_.events()) ev->requestRefused(peer, e.what());
    throw;
  }
  if (auto* ev = runtime_.events()) ev->sessionOpened(id, peer);
  return id;
}

void CallHandler::sessionEnded(const SessionId& session, std::string_view peer, std::string_view reason) {
  if (auto* ev = runtime_.events()) ev->sessionEnded(session, peer, reason);
}

void CallHandler::createObject(const SessionId& session, const v1::CreateObjectRequest& req,
                               v1::CreateObjectReply* reply, Finish finish) {
  runtime_.createObject(session, req.class_name(), req.outer(), req.iid(),
                        [this, reply, session, finish = std::move(finish), started = Clock::now()](CreateResult& r) {
                          report(session, r.id, "CreateObject", r.hr, r.error, started);
                          if (failed(r.hr)) {
                            r.error.hresult = r.hr;
                            putFailure(r.error, -1, reply->mutable_error());
                          } else {
                            putFailure(ErrorInfo{}, -1, reply->mutable_error());
                            reply->set_object_id(r.id);
                            reply->set_class_id(std::string(r.cls->clsid));
                            reply->set_prog_id(std::string(r.cls->progId));
                            reply->set_interface_id(std::string(r.cls->iface->iid));
                            reply->set_interface_name(std::string(r.cls->iface->name));
                          }
                          finish();
                        });
}

void CallHandler::invoke(const SessionId& session, const v1::InvokeRequest& req, v1::InvokeReply* reply, Finish finish,
                         Variant* inPlace) {
  std::vector<Variant> args;
  ErrorInfo error;
  int32_t argError = -1;
  if (failed(decodeArguments(req.args(), args, error, argError))) {
    putFailure(error, argError, reply->mutable_error());
    finish();
    return;
  }
  // The request lives until the completion, so the report reads its
  // member from there; the session is the transport's, so it is kept.
  auto done = [this, &req, reply, inPlace, session, finish = std::move(finish), started = Clock::now()](CallResult& r) {
    fillInvokeReply(r, reply, inPlace);
    if (r.method) {
      report(session, req.object_id(), r.method->name, r.hr, r.error, started);
    } else {
      const std::string member =
          req.member_case() == v1::InvokeRequest::kName ? req.name() : "dispid " + std::to_string(req.dispid());
      report(session, req.object_id(), member, r.hr, r.error, started);
    }
    finish();
  };
  switch (req.member_case()) {
    case v1::InvokeRequest::kDispid:
      runtime_.invoke(session, req.object_id(), req.dispid(), std::move(args), std::move(done));
      break;
    case v1::InvokeRequest::kName:
      runtime_.invokeByName(session, req.object_id(), req.name(), std::move(args), std::move(done));
      break;
    default: {
      CallResult r;
      r.hr = DISP_E_MEMBERNOTFOUND;
      r.error = runtimeError(r.hr, "The call names no member: give a dispatch id or a name");
      done(r);
    }
  }
}

void CallHandler::release(const SessionId& session, const v1::RefRequest& req, v1::RefReply* reply, Finish finish) {
  runtime_.release(session, req.object_id(),
                   [this, reply, session, object = req.object_id(), finish = std::move(finish),
                    started = Clock::now()](ReleaseResult& r) {
                     report(session, object, "Release", r.hr, r.error, started);
                     r.error.hresult = r.hr;
                     reply->set_ref_count(r.refCount);
                     putFailure(r.error, -1, reply->mutable_error());
                     finish();
                   });
}

void CallHandler::addRef(const SessionId& session, const v1::RefRequest& req, v1::RefReply* reply) {
  uint32_t count = 0;
  ErrorInfo error;
  runtime_.addRef(session, req.object_id(), count, error);
  reply->set_ref_count(count);
  putFailure(error, -1, reply->mutable_error());
}

void CallHandler::idsOfNames(const SessionId& session, const v1::GetIDsOfNamesRequest& req,
                             v1::GetIDsOfNamesReply* reply) {
  std::vector<std::string> names(req.names().begin(), req.names().end());
  std::vector<int32_t> ids;
  ErrorInfo error;
  runtime_.idsOfNames(session, req.object_id(), names, ids, error);
  for (int32_t id : ids) reply->add_ids(id);
  putFailure(error, -1, reply->mutable_error());
}

void CallHandler::lockServer(const SessionId& session, const v1::LockServerRequest& req, v1::LockServerReply* reply) {
  ErrorInfo error;
  runtime_.lockServer(session, req.class_name(), req.lock(), error);
  putFailure(error, -1, reply->mutable_error());
}

void CallHandler::typeInfo(const SessionId& session, const v1::GetTypeInfoRequest& req, v1::GetTypeInfoReply* reply) {
  DispatchIdentity id;
  ErrorInfo error;
  if (succeeded(runtime_.identity(session, req.object_id(), id, error))) {
    const InterfaceDesc& iface = *id.iface;
    reply->set_interface_name(std::string(iface.name));
    reply->set_interface_id(std::string(iface.iid));
    reply->set_documentation(std::string(iface.doc));
    if (iface.base) reply->set_base_interface(std::string(iface.base->name));
    fillMethods(iface, reply);
  }
  putFailure(error, -1, reply->mutable_error());
}

void CallHandler::report(const SessionId& session, uint64_t object, std::string_view method, HRESULT hr,
                         const ErrorInfo& error, Clock::time_point started) const {
  RuntimeEvents* ev = runtime_.events();
  if (!ev) return;
  CallReport call;
  call.session = session;
  call.object = object;
  call.method = method;
  call.hresult = hr;
  call.error = failed(hr) ? &error : nullptr;
  call.elapsed = Clock::now() - started;
  ev->callDone(call);
}

}  // namespace rvz::remoting
