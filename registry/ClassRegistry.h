#pragma once
// The class registry: what HKEY_CLASSES_ROOT is to the plug-in and to the
// program's own server registration, kept in the file system.
//
// Keys are named by Windows-style paths, segments joined by backslashes
// ("CLSID\{9D3A...}\InprocServer32"); the empty path is the root key itself.
// Names are compared as stored, so "clsid" and "CLSID" are two keys.
//
// On disk, under $XDG_DATA_HOME/orvane-registry/HKEY_CLASSES_ROOT
// (XDG_DATA_HOME, when unset, empty or relative: $HOME/.local/share):
//
//   HKEY_CLASSES_ROOT/                 the root key
//     k.CLSID/                         subkey "CLSID": a directory, "k." + name
//       k.{9D3A...}/
//         k.InprocServer32/
//           v.                         its default (unnamed) value: a file, "v." + name
//           v.ThreadingModel           the named value "ThreadingModel"
//           t.4711.3                   a write in progress, renamed over v.NAME when complete
//
// Every file name in a key directory is a valid key segment, so subkeys and
// values carry prefixes that keep them apart: a value never shadows a subkey
// of the same name, and the default value needs no reserved name. A value file
// holds the text alone, without a terminating zero.
//
// Each write goes to a temporary file in the key's directory, is flushed with
// fsync and then renamed over the value: a reader sees the old text or the new
// one, never a mixture.
//
// Two layers, as the platform's class root merges the user's classes with the
// machine's: the user's layer above, and a machine-wide layer under
// ORVANE_MACHINE_REGISTRY_DIR/HKEY_CLASSES_ROOT (/var/lib/orvane for a /usr
// install; $ORVANE_MACHINE_REGISTRY replaces that folder, for tests). Reads
// look in the user's layer first: a key there hides the machine's key of the
// same path, values and all. Writes and deletes go to one layer only, the
// user's unless $ORVANE_REGISTRY_LAYER is "machine" (regsvr sets it, since the
// plug-in's entry points take no arguments). Both layers are read from the
// environment on every call, so tests can move them with setenv.
//
// Whoever can write a layer's folders chooses which library the program
// loads, so a layer whose folder (or any key folder on the way) is writable by
// anyone but its owner, or owned by anyone but root or the caller, is refused:
// reads pass over it, writes fail with Unsafe, and a line on stderr says so.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

enum class RegistryStatus {
    Ok,
    NotFound,    // the key or the value does not exist
    MoreData,    // the value does not fit the caller's buffer
    HasSubkeys,  // deleteKey on a key that still has subkeys
    Invalid,     // a key segment, value name or value text the registry refuses
    Failed,      // the file system refused; errno tells why
    Unsafe,      // the layer's folders can be written by others: refused
};

enum class RegistryLayer { User, Machine };

class ClassRegistry {
public:
    static constexpr char kWriteLayerVariable[] = "ORVANE_REGISTRY_LAYER";
    static constexpr char kMachineFolderVariable[] = "ORVANE_MACHINE_REGISTRY";

    // The merged view of the environment's two layers, writing to the layer
    // $ORVANE_REGISTRY_LAYER names.
    ClassRegistry() = default;
    // The merged view, writing to writeLayer.
    explicit ClassRegistry(RegistryLayer writeLayer) : writeLayer_(writeLayer) {}
    // The registry whose root key is the folder rootKeyFolder, without layers.
    explicit ClassRegistry(std::string rootKeyFolder) : root_(std::move(rootKeyFolder)) {}

    // The user's layer: $XDG_DATA_HOME/orvane-registry/HKEY_CLASSES_ROOT as
    // the environment has it now; empty when neither XDG_DATA_HOME nor HOME
    // gives a folder.
    static std::string EnvironmentRoot();
    // The machine-wide layer's root key folder as the environment has it now.
    static std::string MachineRoot();
    // The layer $ORVANE_REGISTRY_LAYER names: Machine for "machine", else User.
    static RegistryLayer EnvironmentWriteLayer();

    // RegOpenKey: true when the key exists.
    bool keyExists(std::string_view key) const;

    // RegCreateKey: creates the key and every missing parent; Ok also when it
    // was there already.
    RegistryStatus createKey(std::string_view key) const;

    // RegSetValueEx with REG_SZ on an existing key. An empty name is the
    // key's default (unnamed) value. Names may not contain '/' or zero bytes;
    // the text may not contain zero bytes.
    RegistryStatus setValue(std::string_view key, std::string_view name, std::string_view text) const;

    // RegQueryValueEx: copies the value and a terminating zero into buffer,
    // never touching more than bufferSize bytes. A value that does not fit
    // gives MoreData and leaves buffer holding the empty text (when bufferSize
    // is at least 1). needed, when given, receives the bytes the value takes
    // with its terminating zero, on Ok and on MoreData.
    RegistryStatus queryValue(std::string_view key, std::string_view name, char* buffer, size_t bufferSize,
                              size_t* needed = nullptr) const;

    // RegDeleteValue.
    RegistryStatus deleteValue(std::string_view key, std::string_view name) const;

    // RegDeleteKey: removes the key with its values; refused with HasSubkeys
    // while it has subkeys. The root key cannot be deleted.
    RegistryStatus deleteKey(std::string_view key) const;

    // RegDeleteTree: removes the key, its values and all its subkeys. The root
    // key cannot be deleted.
    RegistryStatus deleteTree(std::string_view key) const;

private:
    // The root key folders reads look in, in order.
    std::vector<std::string> readRoots() const;
    std::string writeRoot() const;

    std::string root_;  // empty: the environment's two layers
    std::optional<RegistryLayer> writeLayer_;  // none: the environment's
};

}  // namespace orvane
