#include "cli/OneShot.h"

namespace plovex::cli {

namespace {

// No acquisition loop. Its polls would be kept apart from the command's
// frames by the port lock, so nothing would interleave on the line; but a
// one-shot tool has no use for them, and they cost it: every exchange would
// wait for a poll in progress, and since pending input is never discarded, a
// measurement frame that arrived after its poll gave up would be taken as
// the reply to the command's EEPROM read.
commPortOptions oneShotPortOptions()
{
    commPortOptions options;
    options.loop = LoopKind::None;
    return options;
}

} // namespace

OneShot::OneShot(const Command& command, const Words& words, const PortSyntax& syntax) : command_(command)
{
    ended_ = beginPortCommand(command, syntax, words, args_, choice_);
}

std::unique_ptr<PortSession> OneShot::openPort() const
{
    std::string error;
    auto session = PortSession::create(choice_, oneShotPortOptions(), &error);
    if (session && !session->open(&error))
        session.reset();
    if (!session)
        report(command_.name, error, kExitFailed);
    return session;
}

} // namespace plovex::cli
