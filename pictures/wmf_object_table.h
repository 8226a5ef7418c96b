#pragma once
// The metafile player keeps the brush, pen and font it draws with as slots of
// the file's object table, and deleting an object does not clear them: a later
// object of another kind created in the freed slot is then drawn with as if it
// were the deleted one (a pen's fields read as a pattern brush's bitmap, a
// crash). The file as the player gets it keeps, for every such slot, the
// deleted object's own record replayed into a free slot and deleted again, so
// the player goes on drawing with it (as GDI does with a selected object
// deleted) and every slot number of the file stays as it was.
#include <cstddef>
#include <vector>

#include "pictures/picture_class.h"

namespace pictures {

// The file with the replays put in (and one object slot more when the table
// is full for a replay); its records were checked to lie inside it. Fails
// with the invalid-format text when a full table has the most slots a header
// can count.
std::vector<unsigned char> withSafeObjectReuse(Bytes file, std::size_t metaHeaderAt);

}  // namespace pictures
