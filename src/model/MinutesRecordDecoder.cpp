#include "model/MinutesRecordDecoder.h"

#include <array>

#include <simdjson.h>

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

// Thrown for whatever the fast route leaves to the tree route: every refusal, so that the
// error is the tree route's own, and every case whose reading might differ there.
struct Unusual {};

[[noreturn]] void unusual() {
    throw Unusual{};
}

struct Slot {
    element value;
    bool present = false;
};

// The values of `keys` in object `e`. A key given twice is unusual: the tree keeps the last.
template <std::size_t N>
std::array<Slot, N> fieldsOf(element e, const std::array<std::string_view, N>& keys) {
    object o;
    if (e.get(o)) unusual();
    std::array<Slot, N> out{};
    for (const auto field : o) {
        for (std::size_t i = 0; i < N; ++i) {
            if (field.key != keys[i]) continue;
            if (out[i].present) unusual();
            out[i] = {field.value, true};
            break;
        }
    }
    return out;
}

bool absent(const Slot& s) {
    return !s.present || s.value.is_null();
}

std::string_view text(element e) {
    std::string_view s;
    if (e.get(s)) unusual();
    return s;
}

std::string_view required(const Slot& s) {
    if (absent(s)) unusual();
    return text(s.value);
}

std::optional<std::string> optionalText(const Slot& s) {
    if (absent(s)) return std::nullopt;
    return std::string(text(s.value));
}

array arrayOf(element e) {
    array a;
    if (e.get(a)) unusual();
    return a;
}

std::vector<std::string> texts(element e) {
    const array a = arrayOf(e);
    std::vector<std::string> out;
    out.reserve(a.size());
    for (const element x : a) out.emplace_back(text(x));
    return out;
}

// Integers of the signed 64-bit range are indexed as such; larger ones and fractions are not.
std::optional<std::vector<std::int64_t>> integers(element e, bool tolerant) {
    const array a = arrayOf(e);
    std::vector<std::int64_t> out;
    out.reserve(a.size());
    for (const element x : a) {
        if (x.type() != element_type::INT64) {
            if (tolerant) return std::nullopt;
            unusual();
        }
        out.push_back(x.get_int64().value_unsafe());
    }
    return out;
}

TodoItem todo(element e) {
    const auto f = fieldsOf<5>(e, {"task", "assignee", "due", "refs", "auto"});
    TodoItem t{std::string(required(f[0])), optionalText(f[1]), optionalText(f[2]), std::nullopt,
               std::nullopt};
    if (!absent(f[3])) t.refs = integers(f[3].value, false);
    if (!absent(f[4])) {
        bool b = false;
        if (f[4].value.get(b)) unusual();
        t.auto_ = b;
    }
    return t;
}

// A bare string, or an object whose refs are dropped when they are not all integers.
MinutesPoint point(element e) {
    if (e.is_string()) return {std::string(text(e)), std::nullopt};
    const auto f = fieldsOf<2>(e, {"text", "refs"});
    MinutesPoint p{std::string(required(f[0])), std::nullopt};
    if (f[1].present && f[1].value.is_array()) p.refs = integers(f[1].value, true);
    return p;
}

MinutesSection section(element e) {
    const auto f = fieldsOf<2>(e, {"heading", "points"});
    MinutesSection s{std::string(required(f[0])), {}};
    if (absent(f[1])) unusual();
    const array points = arrayOf(f[1].value);
    s.points.reserve(points.size());
    for (const element p : points) s.points.push_back(point(p));
    return s;
}

template <typename T, typename F>
std::vector<T> each(const Slot& s, F&& decodeOne) {
    if (absent(s)) unusual();
    const array a = arrayOf(s.value);
    std::vector<T> out;
    out.reserve(a.size());
    for (const element x : a) out.push_back(decodeOne(x));
    return out;
}

// One transcript line as read, before it is copied into the transcript's buffers.
struct Said {
    std::string_view speaker;
    std::optional<std::string_view> time;
    std::string_view text;
};

MinutesResult result(element e, std::vector<Said>& said) {
    const auto f = fieldsOf<8>(e, {"title", "meta", "summary", "keyPoints", "decisions", "todos",
                                   "sections", "transcript"});
    MinutesResult r;
    r.title = required(f[0]);
    if (!absent(f[1])) {
        const auto m = fieldsOf<3>(f[1].value, {"date", "location", "attendees"});
        MinutesMeta meta{optionalText(m[0]), optionalText(m[1]), std::nullopt};
        if (!absent(m[2])) meta.attendees = texts(m[2].value);
        r.meta = std::move(meta);
    }
    r.summary = required(f[2]);
    if (absent(f[3]) || absent(f[4])) unusual();
    r.keyPoints = texts(f[3].value);
    r.decisions = texts(f[4].value);
    r.todos = each<TodoItem>(f[5], todo);
    if (!absent(f[6])) r.sections = each<MinutesSection>(f[6], section);
    if (absent(f[7])) unusual();
    const array lines = arrayOf(f[7].value);
    // Read first and sized exactly, so the transcript's buffer holds no slack.
    said.clear();
    std::size_t bytes = 0, timeBytes = 0;
    for (const element line : lines) {
        const auto l = fieldsOf<3>(line, {"speaker", "time", "text"});
        said.push_back({required(l[0]),
                        absent(l[1]) ? std::nullopt : std::optional(text(l[1].value)),
                        required(l[2])});
        bytes += said.back().speaker.size() + said.back().text.size() + 2;
        timeBytes += said.back().time ? said.back().time->size() : 0;
    }
    r.transcript.reserve(said.size(), bytes, timeBytes);
    for (const Said& s : said) r.transcript.append(s.speaker, s.time, s.text);
    return r;
}

}  // namespace

struct MinutesRecordDecoder::Parser {
    simdjson::dom::parser parser;
    std::vector<Said> said;
};

MinutesRecordDecoder::MinutesRecordDecoder() : parser_(std::make_unique<Parser>()) {}
MinutesRecordDecoder::~MinutesRecordDecoder() = default;

static_assert(MinutesRecordDecoder::kPadding >= simdjson::SIMDJSON_PADDING);

MinutesRecord MinutesRecordDecoder::decode(const std::string& text_) {
    try {
        element root;
        if (parser_->parser.parse(text_).get(root)) unusual();
        const auto f =
            fieldsOf<5>(root, {"id", "createdAt", "templateId", "sourceName", "result"});
        MinutesRecord r;
        r.id = required(f[0]);
        const auto when = iso8601::parse(required(f[1]));
        if (!when) unusual();
        r.createdAt = *when;
        r.templateId = required(f[2]);
        r.sourceName = required(f[3]);
        if (absent(f[4])) unusual();
        r.result = result(f[4].value, parser_->said);
        return r;
    } catch (const Unusual&) {
    }
    return MinutesRecord::fromJson(json::parse(text_));
}
