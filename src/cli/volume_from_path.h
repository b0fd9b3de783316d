// The volume that a path given on the command line names: a drive image, a disk or a volume.
#pragma once

#include <memory>
#include <string>

class CVolume;

// Null after a message on standard error when nothing exists at the path.
std::unique_ptr<CVolume> VolumeFromPath(const std::string& utf8Path);
