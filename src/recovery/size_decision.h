// The size of a lost file whose content did not give it: the type's default size, the distance
// to the next found object (of any type or of the same type), or a size the user gives, asked
// once per file unless an earlier answer covers it.
#pragma once

#include <cstdint>

class CRecovery;
struct FoundObject;

enum class SizeDecision { Sized, Skip, Cancel };

// Decides the size of a copy of a stored object (FoundLost set) and writes it into the
// stored object under the store's lock. stored is the store's record, copy the worker's.
SizeDecision DecideSize(CRecovery& job, FoundObject& stored, FoundObject& copy);
