#include "scrape/site_table.h"

namespace lanqi::scrape {
namespace {

bool searches(const Step& s) { return s.use == Use::Title || s.use == Use::Hash || s.use == Use::Line; }

const char* markerProblem(const Step& s) {
    if (s.start.marker.empty()) return "the start marker is empty";
    if (s.start.kind == Start::AfterNext && s.start.next.empty()) return "the \"then\" marker is empty";
    if (s.end.kind != End::Length && s.end.marker.empty()) return "the end marker is empty";
    if (s.end.kind == End::AtBehind && s.end.behind.empty()) return "the \"behind\" marker is empty";
    if (s.start.kind == Start::AfterLastBeforeEnd && s.end.kind != End::AtBehind)
        return "a start of last_before_end needs an end with \"behind\"";
    return nullptr;
}

}  // namespace

const char* stepsProblem(std::span<const Step> steps, size_t& at) {
    int titles = 0, hashes = 0, items = 0, details = 0, magnets = 0;
    bool emitted = false;
    unsigned fields = 0;  // bit n: a line fills ResultField n
    for (at = 0; at < steps.size(); ++at) {
        const Step& s = steps[at];
        if (s.itemTest && emitted) return "an item test after list_item, detail_start or magnet";
        if (s.use == Use::Title && ++titles > 1) return "a second title step";
        if (s.use == Use::Hash && ++hashes > 1) return "a second hash step";
        if (s.use == Use::ListItem && (titles != 1 || ++items != 1)) return "list_item needs one title step before it";
        if (s.use == Use::DetailStart && (titles != 1 || ++details != 1))
            return "detail_start needs one title step before it";
        if (s.use == Use::Magnet && (hashes != 1 || details != 1 || ++magnets != 1))
            return "magnet needs one hash step and detail_start before it";
        if ((s.use == Use::Line || s.use == Use::Files) && details != 1)
            return "a line or files step needs detail_start before it";
        if (s.use == Use::Line && s.field != ResultField::Other) {
            const unsigned bit = 1u << static_cast<unsigned>(s.field);
            if (fields & bit) return "a second line for the same field";
            fields |= bit;
        }
        if (searches(s))
            if (const char* problem = markerProblem(s)) return problem;
        if (s.use == Use::Files && (s.listEnd.empty() || s.entryEnd.empty()))
            return "a files step needs list_end and entry_end";
        emitted = emitted || s.use == Use::ListItem || s.use == Use::DetailStart || s.use == Use::Magnet;
    }
    if (titles != 1) return "no title step";
    if (hashes != 1) return "no hash step";
    if (items != 1) return "no list_item step";
    if (details != 1) return "no detail_start step";
    if (magnets != 1) return "no magnet step";
    return nullptr;
}

}  // namespace lanqi::scrape
