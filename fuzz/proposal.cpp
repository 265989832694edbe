// Proposal files of a user's folder, naming the shipped definitions.
#include "fuzzsupport.h"

#include "proposal/proposal.h"


#ifndef KV6_REPORTS_DIR
#error "KV6_REPORTS_DIR must name the shipped definitions"
#endif

namespace {

QByteArray savedAs(const kv6::clsProposal &proposal, const QString &name)
{
    QString message;
    if (!proposal.SaveUserDefined(name, message))
        return {};
    return kv6fuzz::fileBytes(kv6fuzz::path(name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    kv6fuzz::userFolderOverShippedDefinitions();
    kv6fuzz::writeInput(QStringLiteral("input.prp"), data, size);
    kv6::clsProposal proposal;
    QString message;
    if (!proposal.LoadUserDefined(-1, QStringLiteral("input.prp"), message))
        return 0;
    // What was read writes out, and what was written reads back to the same file.
    const QByteArray first = savedAs(proposal, QStringLiteral("first.prp"));
    if (first.isEmpty())
        __builtin_trap();
    kv6::clsProposal again;
    if (!again.LoadUserDefined(-1, QStringLiteral("first.prp"), message)
        || savedAs(again, QStringLiteral("second.prp")) != first)
        __builtin_trap();
    return 0;
}
