#pragma once

namespace trawl {

class Clock;
class HttpGetter;
class Prompts;
class ResultStore;
class StatusView;
struct ReferenceTables;
struct RunFlags;

// What the search and deep-scan threads work with. Everything referred to must outlive the
// scheduler and the deep scan that use it (they join their threads before they go).
struct HarvestContext {
    HttpGetter& http;
    ResultStore& store;
    StatusView& view;
    Prompts& prompts;
    Clock& clock;
    RunFlags& flags;
    const ReferenceTables& tables;
};

} // namespace trawl
