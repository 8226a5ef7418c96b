#include "pictures/wmf_object_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <set>

#include "imagelib/file_io.h"
#include "pictures/decoder_support.h"

namespace pictures {

namespace {

const std::string kFormat = "WMF";
constexpr std::size_t kMetaHeaderSize = 18;
constexpr unsigned kSelectObject = 0x012D;
constexpr unsigned kDeleteObject = 0x01F0;
constexpr std::size_t kMostSlots = 0xFFFF;  // the header's object count

// What the player draws with; Other objects (palettes, regions) take a slot
// but are never drawn with from it.
enum class Kind { Brush, Pen, Font, Other };
constexpr std::array<Kind, 3> kDrawnWith = {Kind::Brush, Kind::Pen, Kind::Font};

std::optional<Kind> createdKind(unsigned function)
{
    switch (function) {
    case 0x02FC:  // CreateBrushIndirect
    case 0x01F9:  // CreatePatternBrush
    case 0x0142:  // DibCreatePatternBrush
        return Kind::Brush;
    case 0x02FA:  // CreatePenIndirect
        return Kind::Pen;
    case 0x02FB:  // CreateFontIndirect
        return Kind::Font;
    case 0x00F7:  // CreatePalette
    case 0x06FF:  // CreateRegion
        return Kind::Other;
    default:
        return std::nullopt;
    }
}

struct Slot {
    std::optional<Kind> kind;  // empty: free
    Bytes record;              // the record that created the object
};

// The player's object table and the slot each kind is drawn with from.
class ObjectTable {
public:
    explicit ObjectTable(std::size_t size) : slots_(size) {}

    // The lowest free slot, where the player puts a new object: a freed one,
    // else the first never used (kept apart so that a full table of many
    // slots costs no walk over them for every object a file creates).
    std::optional<std::size_t> freeSlot() const
    {
        if (!freed_.empty())
            return *freed_.begin();
        if (neverUsed_ < slots_.size())
            return neverUsed_;
        return std::nullopt;
    }
    // The player draws with an object from the moment it is created.
    void create(std::size_t slot, Kind kind, Bytes record)
    {
        if (slot == neverUsed_)
            ++neverUsed_;
        else
            freed_.erase(slot);
        slots_[slot] = {kind, record};
        if (kind != Kind::Other)
            drawnWith_[index(kind)] = Drawn{slot, record};
    }
    std::size_t size() const { return slots_.size(); }
    std::size_t addSlot()
    {
        slots_.emplace_back();
        return slots_.size() - 1;
    }
    void select(std::size_t slot)
    {
        if (slot < slots_.size() && slots_[slot].kind && *slots_[slot].kind != Kind::Other)
            drawnWith_[index(*slots_[slot].kind)] = Drawn{slot, slots_[slot].record};
    }
    void remove(std::size_t slot)
    {
        if (slot >= slots_.size() || !slots_[slot].kind)
            return;
        slots_[slot] = {};
        freed_.insert(slot);
    }
    // A kind drawn with from the slot that now holds another kind of object,
    // with the record of the object it was drawn with.
    std::optional<Bytes> staleKindAt(std::size_t slot) const
    {
        for (Kind k : kDrawnWith) {
            const auto& d = drawnWith_[index(k)];
            if (d && d->slot == slot && slots_[slot].kind != k)
                return d->record;
        }
        return std::nullopt;
    }

private:
    struct Drawn {
        std::size_t slot;
        Bytes record;
    };
    static std::size_t index(Kind k) { return static_cast<std::size_t>(k); }
    std::vector<Slot> slots_;
    std::set<std::size_t> freed_;  // free slots below neverUsed_
    std::size_t neverUsed_ = 0;
    std::array<std::optional<Drawn>, 3> drawnWith_;
};

void append(std::vector<unsigned char>& out, Bytes bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void appendDeleteObject(std::vector<unsigned char>& out, std::size_t slot)
{
    const unsigned char record[8] = {4, 0, 0, 0, kDeleteObject & 0xFF, kDeleteObject >> 8,
                                     static_cast<unsigned char>(slot), static_cast<unsigned char>(slot >> 8)};
    out.insert(out.end(), record, record + sizeof record);
}

}  // namespace

std::vector<unsigned char> withSafeObjectReuse(Bytes file, std::size_t metaHeaderAt)
{
    ObjectTable table(le16At(file, metaHeaderAt + 10));
    std::vector<unsigned char> out(file.begin(), file.begin() + metaHeaderAt + kMetaHeaderSize);
    std::size_t added = 0;
    for (std::size_t at = metaHeaderAt + kMetaHeaderSize;;) {
        const std::size_t words = le32At(file, at);
        const unsigned function = le16At(file, at + 4);
        const Bytes record = file.subspan(at, 2 * words);
        append(out, record);
        if (function == 0)
            break;
        at += record.size();
        const std::optional<std::size_t> param =
            words >= 4 ? std::optional<std::size_t>(le16At(record, 6)) : std::nullopt;
        if (function == kSelectObject && param) {
            table.select(*param);
        } else if (function == kDeleteObject && param) {
            table.remove(*param);
        } else if (const auto kind = createdKind(function)) {
            const auto slot = table.freeSlot();
            if (!slot)
                continue;  // a full table keeps nothing
            table.create(*slot, *kind, record);
            while (const auto stale = table.staleKindAt(*slot)) {
                // Replays until the kind is drawn with from a slot of its own
                // kind (the replay's slot may be stale for another kind).
                // A full table gets one slot more for the replays.
                std::optional<std::size_t> replayAt = table.freeSlot();
                if (!replayAt && table.size() >= kMostSlots)
                    failInvalidFormat(kFormat);
                if (!replayAt)
                    replayAt = table.addSlot();
                append(out, *stale);
                appendDeleteObject(out, *replayAt);
                table.create(*replayAt, *createdKind(le16At(*stale, 4)), *stale);
                table.remove(*replayAt);
                added += stale->size() + 8;
            }
        }
    }
    imagelib::putLe16(out.data() + metaHeaderAt + 10, static_cast<std::uint32_t>(table.size()));
    const std::uint32_t fileWords = le32At(file, metaHeaderAt + 6) + static_cast<std::uint32_t>(added / 2);
    imagelib::putLe32(out.data() + metaHeaderAt + 6, fileWords);
    return out;
}

}  // namespace pictures
