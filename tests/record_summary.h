#pragma once

// Test-only compact views of records, so that a table row reads from input to expected.

#include <charconv>
#include <cmath>
#include <string>

#include "model/block_record.h"

namespace korvane::testutil {

/// The shortest fixed-point text that reads back as the same double: "5", "-0.0002", "999999".
inline std::string Real(double v)
{
    char buf[400]; // room for DBL_MAX and the subnormals
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return std::string(buf, res.ptr);
}

/// The fields of r that differ from base, in declaration order: "endX=5 motion=1".
inline std::string Changes(const BlockRecord &r, const BlockRecord &base = BlockRecord{})
{
    std::string out;
    auto add = [&out](const char *name, const std::string &value) {
        out += (out.empty() ? "" : " ") + std::string(name) + "=" + value;
    };
    auto num = [&add](const char *name, long long a, long long b) {
        if (a != b)
            add(name, std::to_string(a));
    };
    auto code = [&add](const char *name, auto a, auto b) {
        if (a != b)
            add(name, std::to_string(static_cast<int>(a)));
    };
    auto real = [&add](const char *name, double a, double b) {
        if (a != b || std::signbit(a) != std::signbit(b))
            add(name, Real(a));
    };
    real("feed", r.feed, base.feed);
    num("spindle", r.spindle, base.spindle);
    num("seqNo", r.seqNo, base.seqNo);
    num("lengthOffset", r.lengthOffset, base.lengthOffset);
    num("tool", r.tool, base.tool);
    num("radiusOffset", r.radiusOffset, base.radiusOffset);
    real("startX", r.startX, base.startX);
    real("startY", r.startY, base.startY);
    real("startZ", r.startZ, base.startZ);
    real("endX", r.endX, base.endX);
    real("endY", r.endY, base.endY);
    real("endZ", r.endZ, base.endZ);
    real("arcRadius", r.arcRadius, base.arcRadius);
    real("arcI", r.arcI, base.arcI);
    real("arcJ", r.arcJ, base.arcJ);
    code("motion", r.motion, base.motion);
    code("distanceMode", r.distanceMode, base.distanceMode);
    code("radiusComp", r.radiusComp, base.radiusComp);
    code("lengthComp", r.lengthComp, base.lengthComp);
    num("workOffset", r.workOffset, base.workOffset);
    num("positionOffset", r.positionOffset, base.positionOffset);
    num("machineReference", r.machineReference, base.machineReference);
    return out;
}

} // namespace korvane::testutil
