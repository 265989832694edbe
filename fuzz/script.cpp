// Scripts as report definitions carry them: compiled, then run with a step limit so that an
// endless loop ends as a script error.
#include "fuzzsupport.h"

#include "script/scriptengine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    kv6::script::Engine engine;
    engine.setStepLimit(20000);
    try {
        engine.compile(kv6fuzz::text(data, size));
        engine.run();
        if (engine.hasProcedure(QStringLiteral("PostProcess")))
            engine.call(QStringLiteral("PostProcess"));
    } catch (const kv6::script::ScriptError &) {
        // A script's own error is an answer, not a fault.
    }
    return 0;
}
