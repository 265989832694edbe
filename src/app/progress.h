#pragma once

// What long operations report their progress to. The progress window implements it; code that
// runs unattended passes nothing.

#include <QString>

#include <functional>

class QWidget;

namespace kv6 {

class IProgress
{
public:
    virtual ~IProgress() = default;
    // A maximum below 1 selects the indeterminate mode.
    virtual void Initialize(const QString &caption, int maximum, QWidget *owner, bool showStatus,
        bool showCancel = false, int interval = 1)
        = 0;
    // Caption "" keeps the caption; maximum -1 restarts at the minimum, 0 goes indeterminate.
    virtual void Reset(const QString &caption, int maximum, int showStatus = -1,
        int showCancel = -1, int interval = 0)
        = 0;
    virtual void Increment() = 0;
    virtual void SetToMax() = 0;
    virtual int MaxValue() const = 0;
    virtual int ProgressValue() const = 0;
    virtual void setProgressValue(int value) = 0;
    virtual bool Cancelled() const = 0;
    virtual void Shutdown() = 0;
};

// Subsystems below the windows borrow the shared progress window through this, so they never
// depend on the windows themselves; they Shutdown when done. Without a provider (unattended runs)
// they get nothing.
using ProgressProvider = std::function<IProgress *()>;
void SetProgressProvider(ProgressProvider provider);
IProgress *SharedProgress();

} // namespace kv6
