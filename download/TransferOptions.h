// Transfer settings that the shipped programs never change: the built-in
// defaults are what users get. Tests hand other values to a downloader's
// constructor (a library seam, not an option or environment variable), to
// trust a local test authority or to shorten the stall limits.
#pragma once
#include <chrono>
#include <string>

struct TransferOptions {
    // Non-empty: trust only the authority in this PEM file instead of the
    // system's store. Peer and host verification always stay on.
    std::string caFile;
    // A GET that receives less than 1 byte a second for this long ends its
    // try as a failure (it then resumes). Header-only requests and the
    // system downloader use it as their answer limit too.
    std::chrono::seconds stallLimit{30};
};
