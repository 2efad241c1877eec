#pragma once
// A camera's SOAP answer, read with a real XML parser and checked for its
// namespaces: the envelope must be SOAP's, and the answer element the
// service's. Within the answer elements are taken by their local names, as
// cameras differ in the prefixes and schema versions they put there.

#include "onvif/OnvifTypes.h"

#include <pugixml.hpp>

#include <cstddef>
#include <string>

namespace onvif {

class SoapAnswer {
public:
    // No real camera's answer comes near this; a longer one is refused unread.
    static constexpr size_t kMaxAnswerBytes = 256 * 1024;

    explicit SoapAnswer(const std::string& text);
    SoapAnswer(const SoapAnswer&) = delete;
    SoapAnswer& operator=(const SoapAnswer&) = delete;

    // None, or why the text is no usable answer (TooLarge, BadAnswer, or a
    // fault: NotAuthorized or Fault).
    Failure failure() const { return failure_; }
    // The fault's code and reason, or what was wrong with the text.
    const std::string& detail() const { return detail_; }

    // The body's answer element when it is service_namespace's `name`; else
    // an empty node.
    pugi::xml_node response(const char* service_namespace, const char* name) const;

private:
    void readFault(pugi::xml_node fault);

    pugi::xml_document document_;
    pugi::xml_node body_;
    Failure failure_ = Failure::None;
    std::string detail_;
};

// The local part of a qualified name: "Profiles" of "trt:Profiles".
const char* LocalName(const char* qualified);
// The namespace a node's prefix stands for where it is; empty if undeclared.
std::string NamespaceOf(pugi::xml_node node);
// The first child element with that local name.
pugi::xml_node Child(pugi::xml_node parent, const char* local_name);
// Child(Child(...)) along a path of local names.
pugi::xml_node Path(pugi::xml_node from, std::initializer_list<const char*> local_names);

}  // namespace onvif
