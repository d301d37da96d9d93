// The type file the fuzz targets compile against: the demo unit's.
#pragma once

inline constexpr const char* kFuzzTypes = R"(qpl-types 1
type count range 0 65535
type seconds range 0 2147483647
type obj_status range 0 65535
type obj_request enum rq_normal=0 rq_disabled=1 rq_update_status=2 rq_self_test=3 rq_enable=5 rq_reset=8
type alarm enum alarm_none=0 alarm_low=1 alarm_high=2 alarm_fault=3
nv inRequest obj_request in
nv outStatus obj_status out
nv inTimeSet seconds in
nv outAlarm alarm out
nv outLoadState count out
)";
