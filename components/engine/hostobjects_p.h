#pragma once

// Private to the engine: what scripts see of a render. Fields and sections are objects with the
// layout's properties; names resolve through the renderer (data fields, layout fields and
// sections, Page, Pages, aggregates).

#include "engine/layout.h"
#include "script/hostobject.h"

#include <memory>

namespace kv6::engine {

class Renderer;

std::shared_ptr<script::HostObject> makeFieldObject(Renderer *renderer, Field *field);
std::shared_ptr<script::HostObject> makeSectionObject(Renderer *renderer, int section);
std::unique_ptr<script::HostScope> makeScope(Renderer *renderer);

} // namespace kv6::engine
