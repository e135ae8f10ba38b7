// What a dry run prints (on stdout, or on stderr when stdout carries the JSON record): the plan of
// the file system, and which checks it made and which only a real run makes.
#pragma once

#include <cstdio>
#include <string>

#include "prep/volume_plan.h"

namespace lintora {

// The volume's sizes, where its system files go and how many bytes the writing pass writes.
void print_volume_plan(std::FILE* out, const VolumePlan& plan);

// The closing lines: nothing was opened for writing, and what only the real run checks.
void print_dry_run_end(std::FILE* out, bool block_device);

}  // namespace lintora
