#pragma once
// Whether the last batch send succeeded: set after every send, read by the tracker before
// each delivery request to choose between the caller's thread and a thread of its own.
namespace telemetry_core {

bool LastSendSucceeded();
void SetLastSendSucceeded(bool succeeded);

}  // namespace telemetry_core
