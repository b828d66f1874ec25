#pragma once
// The bounds and fixed values of Quorane's talk with the community station
// directory, in one place. The directory is a public service run by
// volunteers: every answer has an end in size and time, and a page of
// results is small enough to parse on the UI thread without a pause.
namespace DirectoryLimits {
// The longest wait for one answer, from sending the request to its last
// byte; then the next server is tried.
constexpr int AnswerTimeoutMs = 15000;
// The largest answer taken in; a bigger one is aborted as it arrives.
constexpr long long MaxAnswerBytes = 16LL * 1024 * 1024;
// The longest wait for the name service while looking for the servers.
constexpr int DiscoveryTimeoutMs = 15000;
// Results asked for at a time.
constexpr int PageSize = 100;
// The quiet time after the last key or filter change before a search starts.
constexpr int TypingPauseMs = 300;
// Tags offered for completion: the most used ones.
constexpr int CompletionTags = 1000;
} // namespace DirectoryLimits
