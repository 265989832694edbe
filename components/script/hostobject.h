#pragma once

#include "script/value.h"

#include <QString>

namespace kv6::script {

// An object a host hands to scripts. Member names arrive as written and are compared without
// regard to case by the implementation; an empty name is the default member (`rs("Pages")`).
// Failures are reported by throwing through kv6::script::raise(number, description), which
// the engine turns into the script's Err; a RuntimeError thrown directly also sets Err.Source.
class HostObject
{
public:
    virtual ~HostObject() = default;
    virtual QString typeName() const = 0;
    // Read a property or call a method (a call statement discards the result). An argument
    // skipped between commas arrives as Variant::missing().
    virtual Variant get(const QString &member, const QList<Variant> &args);
    // Assign a property (Let or Set).
    virtual void put(const QString &member, const QList<Variant> &args, const Variant &value);
    // For Each: the items in order; objects that cannot be enumerated raise 438.
    virtual QList<Variant> items();
};

// Names the host resolves when it runs statements or evaluates expressions: report fields,
// sections and the like. Script globals and procedures come first; unknown names reach here.
class HostScope
{
public:
    virtual ~HostScope() = default;
    virtual bool lookup(const QString &name, Variant &value) = 0;
    // Returns false when the host does not own the name (the script then makes a variable).
    virtual bool assign(const QString &name, const Variant &value) = 0;
};

} // namespace kv6::script
