#pragma once
// Stream URIs as cameras give them are mended before they are played: a
// host of 0.0.0.0 or a loopback address (the camera naming itself) becomes
// the camera's address, and RTSP on port 80 (the web port, given by
// firmware that copies its own) goes to 554.

#include <string>

namespace onvif {

// The mended URI; uri unchanged when it is not one URL can read.
std::string RepairStreamUri(const std::string& uri, const std::string& camera_address);

// The URI without its user and password, to show or print; empty when it
// is not one URL can read.
std::string UriWithoutCredentials(const std::string& uri);

// Whether the URI names a user of its own.
bool UriHasCredentials(const std::string& uri);

// The URI with user and password in it, for a player that takes them there.
std::string UriWithCredentials(const std::string& uri, const std::string& user, const std::string& password);

}  // namespace onvif
