#include "acl_service.h"

#include <chrono>
#include <memory>

#include "card_apply.h"
#include "card_diff.h"
#include "card_list_csv.h"
#include "card_verify.h"

namespace zarvod::control {
namespace {

AclOutcome Refused(const std::vector<std::string>& errors) {
  AclOutcome outcome;
  for (const std::string& e : errors) outcome.output += e + "\n";
  outcome.output += "nothing was sent to any controller\n";
  return outcome;
}

// Progress lines for a socket client: at most ten a second, and the last.
cards::ProgressFn ProgressLines(ReplyStream& replies) {
  auto last = std::make_shared<std::chrono::steady_clock::time_point>();
  return [&replies, last](const cards::Progress& p) {
    const auto now = std::chrono::steady_clock::now();
    if (p.done != p.total && now - *last < std::chrono::milliseconds(100)) return;
    *last = now;
    replies.Send(JsonObject()
                     .Set("progress", true)
                     .Set("done", p.done)
                     .Set("total", p.total)
                     .Set("failed", p.failed));
  };
}

JsonObject Final(const AclOutcome& outcome) {
  JsonObject reply;
  reply.Set("ok", outcome.ok).Set("output", outcome.output).Set("count", outcome.count);
  if (!outcome.ok) reply.Set("error", outcome.output);
  return reply;
}

// The card-list file of a request: "file" names it, "text" holds it.
bool FileOf(const ParsedRequest& request, std::string& name, std::string& text, JsonObject& error) {
  const auto file = request.Text("file");
  const auto content = request.Text("text");
  if (!file || !content) {
    error = ErrorReply("request:1:1: needs \"file\" (its name) and \"text\" (its content) strings");
    return false;
  }
  name = *file;
  text = *content;
  return true;
}

}  // namespace

AclOutcome AclService::Diff(const std::string& file_name, const std::string& text) {
  const auto parse = cards::ParseCardList(text, file_name, site_);
  if (!parse.ok()) return Refused(parse.errors);
  const cards::CardPlan plan = cards::Diff(site_, parse.cards, store_);
  return {true, cards::FormatPlan(plan), plan.change_count()};
}

AclOutcome AclService::Apply(const std::string& file_name, const std::string& text,
                             std::stop_token stop, const cards::ProgressFn& progress) {
  const auto parse = cards::ParseCardList(text, file_name, site_);
  if (!parse.ok()) return Refused(parse.errors);
  const cards::CardPlan plan = cards::Diff(site_, parse.cards, store_);
  const cards::ApplyReport report =
      cards::Apply(plan, file_name, lines_, store_, std::move(stop), progress);
  const size_t left = plan.change_count() - report.done;
  return {left == 0, cards::FormatApplyReport(report), left};
}

AclOutcome AclService::Verify(std::stop_token stop, const cards::ProgressFn& progress) {
  const cards::VerifyReport report =
      cards::Verify(site_, lines_, store_, std::move(stop), progress);
  return {!report.interrupted, cards::FormatVerifyReport(report), report.drifts.size()};
}

void AddAclCommands(CommandTable& commands, AclService& service) {
  commands.Add("acl.diff", [&service](const ParsedRequest& request, ReplyStream&) {
    std::string name, text;
    JsonObject error;
    if (!FileOf(request, name, text, error)) return error;
    return Final(service.Diff(name, text));
  });
  commands.Add("acl.apply", [&service](const ParsedRequest& request, ReplyStream& replies) {
    std::string name, text;
    JsonObject error;
    if (!FileOf(request, name, text, error)) return error;
    return Final(service.Apply(name, text, replies.stop(), ProgressLines(replies)));
  });
  commands.Add("acl.verify", [&service](const ParsedRequest&, ReplyStream& replies) {
    return Final(service.Verify(replies.stop(), ProgressLines(replies)));
  });
}

}  // namespace zarvod::control
