#pragma once

#include "order_cache/font_fingerprint.h"
#include "qt_bridge/qt_services.h"

#include <optional>
#include <string>
#include <vector>

// The measured order of a table in a font and size, remembered per user (in $XDG_CACHE_HOME/tessarine,
// else $HOME/.cache/tessarine; with neither, nothing is remembered), so that a later conversion with the same
// table, font and size needs neither Qt nor the font system. An entry's key covers everything the measurement
// depends on: the table, the font name, the size, the program's and Qt's versions, and the fingerprint of the
// installed fonts and their configuration; an entry holds its whole key and a checksum, and is used only when
// both match; when the fonts cannot be fingerprinted (fontconfig could not be asked), nothing is read or
// written. Entries are written to a file of their own and then moved into place, so readers never see half
// an entry and two converters writing the same one at once leave a whole one. Only folders that the user owns
// and nobody else may write are used, and an entry is believed only when it fits its table: no other user can
// decide what a conversion prints.
namespace cli {

class OrderCache {
  public:
    // The folder the cache lives in, the files besides the program's own libraries whose change may change a
    // measurement (the Qt module), and where the font configuration is asked when it must be (fontconfig,
    // through the Qt bridge).
    OrderCache(std::string folder, std::vector<std::string> measuringFiles, FontConfigurationSource fonts);

    // The user's cache folder: $XDG_CACHE_HOME/tessarine or $HOME/.cache/tessarine (absolute names only);
    // nothing when neither is set.
    static std::optional<std::string> userFolder();

    std::string key(const std::u32string& table, const std::string& font, double size) const;
    // False when no entry at all is kept for this table, font and size, whatever the fonts: then the
    // order must be measured, and that can start before the fonts are fingerprinted.
    bool mayHold(const std::u32string& table, const std::string& font, double size) const;
    // The entry for a key, or nothing when there is none, it is damaged, or it does not fit the table it
    // is for: exactly its characters, each count within the glyph surface of the size, a usable aspect.
    std::optional<Measurement> load(const std::string& key, const std::u32string& table, double size) const;
    // Writes the entry, and removes the entries for the same table, font and size made for fonts or
    // programs that are gone; false when it could not be written (the conversion goes on without it).
    bool store(const std::string& key, const Measurement& m) const;

    std::string folder() const { return folder_; }
    // The file an entry for the key lives in.
    std::string entryPath(const std::string& key) const;

  private:
    // The entries' folder, made (for this user alone) when `create`; false when it or the cache folder is
    // missing, not a folder of this user's, or writable by others.
    bool ordersFolder(bool create) const;
    // The cache folder is the user's own, not a link, and nobody else may write it or rename it away: only
    // then is the font memo read or written there.
    bool ownFolder() const;

    std::string memoPath() const { return folder_ + "/fonts.memo"; }

    std::string folder_;
    std::vector<std::string> measuringFiles_;
    FontConfigurationSource fonts_;
    // The font memo made while the cache folder was not there yet, kept once an entry has made it: so the
    // run after the first one asks fontconfig nothing.
    mutable std::string unkeptMemo_;
};

// A run's use of the cache for one table, font and size: the entry looked up, its key worked out ahead of a
// measurement (on a helper thread, while Qt starts) so that keeping the measured order costs nothing more,
// and the measured order kept. With no cache (null) nothing is remembered.
class RememberedOrder {
  public:
    RememberedOrder(const OrderCache* cache, std::u32string table, std::string font, double size);
    // The order as remembered, when it is; the fonts are fingerprinted only when an entry may be there.
    std::optional<Measurement> find();
    // The key, worked out now unless it is known.
    void workOutKey();
    // Keeps a measured order for later runs.
    void keep(const Measurement& m);

  private:
    const OrderCache* cache_;
    std::u32string table_;
    std::string font_;
    double size_;
    std::string key_;
};

} // namespace cli
