#include "tools/run_json.h"

#include <cmath>

#include "platform/encoding/utf.h"
#include "tools/json_text.h"

namespace lintora {

namespace {

// A UTF-8 text as a JSON string; bytes that are not UTF-8 are kept as path bytes are.
std::string json_text(const std::string& text) {
    const std::optional<std::u16string> wide = utf8_to_utf16(text);
    return json_string(wide ? *wide : path_to_utf16(text));
}

}  // namespace

std::string run_json(const RunRecord& run) {
    std::string out = "{\"result\": ";
    out += run.planned ? "\"planned\"" : run.succeeded ? "\"formatted\"" : "\"failed\"";
    out += ", \"target\": " + json_string(run.target);
    out += ", \"partition_style\": " + json_text(run.partition_style);
    out += ", \"volume_offset\": " + std::to_string(run.volume_offset);
    out += ", \"volume_bytes\": " + std::to_string(run.volume_bytes);
    out += ", \"cluster_size\": " + std::to_string(run.cluster_size);
    out += ", \"clusters\": " + std::to_string(run.clusters);
    out += ", \"bad_clusters\": [";
    for (size_t i = 0; i < run.bad_clusters.size(); ++i) {
        const uint64_t first = run.volume_offset + run.bad_clusters[i] * run.cluster_size;
        out += (i == 0 ? "" : ", ") + std::string("{\"first_byte\": ") + std::to_string(first) +
               ", \"end_byte\": " + std::to_string(first + run.cluster_size) + "}";
    }
    out += "], \"verified_bytes\": " + std::to_string(run.verified_bytes);
    out += ", \"cache_displaced_bytes\": " + std::to_string(run.cache_displaced_bytes);
    out += ", \"seconds\": " + std::to_string(std::round(run.seconds * 1000) / 1000);
    if (run.succeeded || run.planned) {
        out += ", \"error\": null";
    } else {
        out += ", \"error\": {\"class\": " + json_text(run.error_class) +
               ", \"cause\": " + json_text(run.cause) + ", \"reason\": " + json_text(run.error) +
               ", \"no_valid_volume\": " + (run.no_valid_volume ? "true" : "false") +
               ", \"holds\": [";
        for (size_t i = 0; i < run.held.size(); ++i) {
            const HeldRange& held = run.held[i];
            out += (i == 0 ? "" : ", ") + std::string("{\"what\": ") + json_text(held.what) +
                   ", \"first_byte\": " + std::to_string(held.first_byte) +
                   ", \"end_byte\": " + std::to_string(held.end_byte) +
                   ", \"certain\": " + (held.certain ? "true" : "false") + "}";
        }
        out += "]}";
    }
    return out + "}";
}

const char* cause_name(FailureClass cause) {
    switch (cause) {
        case FailureClass::gone:
            return "gone";
        case FailureClass::refused:
            return "refused";
        case FailureClass::medium:
            return "medium";
        default:
            return "other";
    }
}

}  // namespace lintora
