#include "onvif/SoapAnswer.h"

#include "onvif/OnvifNamespaces.h"

#include <cstring>

namespace onvif {

const char* LocalName(const char* qualified)
{
    const char* colon = std::strrchr(qualified, ':');
    return colon == nullptr ? qualified : colon + 1;
}

std::string NamespaceOf(pugi::xml_node node)
{
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    const std::string declaration =
        colon == nullptr ? std::string("xmlns") : "xmlns:" + std::string(name, static_cast<size_t>(colon - name));
    for (pugi::xml_node at = node; at; at = at.parent()) {
        const pugi::xml_attribute attribute = at.attribute(declaration.c_str());
        if (attribute)
            return attribute.value();
    }
    return {};
}

pugi::xml_node Child(pugi::xml_node parent, const char* local_name)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && std::strcmp(LocalName(child.name()), local_name) == 0)
            return child;
    }
    return {};
}

pugi::xml_node Path(pugi::xml_node from, std::initializer_list<const char*> local_names)
{
    pugi::xml_node at = from;
    for (const char* name : local_names)
        at = Child(at, name);
    return at;
}

namespace {

bool IsSoapNamespace(const std::string& uri)
{
    return uri == ns::kSoap12 || uri == ns::kSoap11;
}

pugi::xml_node FirstElement(pugi::xml_node parent)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            return child;
    }
    return {};
}

}  // namespace

SoapAnswer::SoapAnswer(const std::string& text)
{
    if (text.size() > kMaxAnswerBytes) {
        failure_ = Failure::TooLarge;
        detail_ = "the answer is larger than " + std::to_string(kMaxAnswerBytes) + " bytes";
        return;
    }
    // pugixml knows no DTD entities, so no answer can make it expand one.
    const pugi::xml_parse_result parsed = document_.load_buffer(text.data(), text.size(), pugi::parse_default);
    if (!parsed) {
        failure_ = Failure::BadAnswer;
        detail_ = std::string("not XML: ") + parsed.description();
        return;
    }
    const pugi::xml_node envelope = document_.document_element();
    if (std::strcmp(LocalName(envelope.name()), "Envelope") != 0 || !IsSoapNamespace(NamespaceOf(envelope))) {
        failure_ = Failure::BadAnswer;
        detail_ = "not a SOAP envelope";
        return;
    }
    body_ = Child(envelope, "Body");
    if (!body_ || !IsSoapNamespace(NamespaceOf(body_))) {
        failure_ = Failure::BadAnswer;
        detail_ = "a SOAP envelope without a body";
        return;
    }
    const pugi::xml_node first = FirstElement(body_);
    if (first && std::strcmp(LocalName(first.name()), "Fault") == 0 && IsSoapNamespace(NamespaceOf(first)))
        readFault(first);
}

void SoapAnswer::readFault(pugi::xml_node fault)
{
    // SOAP 1.2 nests the codes (Code/Value, Code/Subcode/Value...); SOAP 1.1
    // has one faultcode. Cameras name a refused login in any of them.
    std::string codes;
    for (pugi::xml_node code = Child(fault, "Code"); code; code = Child(code, "Subcode")) {
        const std::string value = Child(code, "Value").text().get();
        codes += (codes.empty() ? "" : " ") + value;
    }
    const pugi::xml_node old_code = Child(fault, "faultcode");
    if (old_code)
        codes += (codes.empty() ? "" : " ") + std::string(old_code.text().get());
    std::string reason = Path(fault, {"Reason", "Text"}).text().get();
    if (reason.empty())
        reason = Child(fault, "faultstring").text().get();
    failure_ = codes.find("NotAuthorized") != std::string::npos ? Failure::NotAuthorized : Failure::Fault;
    detail_ = "SOAP fault " + codes + (reason.empty() ? "" : ": " + reason);
    if (detail_.size() > 200)
        detail_.resize(200);
}

pugi::xml_node SoapAnswer::response(const char* service_namespace, const char* name) const
{
    if (failure_ != Failure::None)
        return {};
    const pugi::xml_node first = FirstElement(body_);
    if (!first || std::strcmp(LocalName(first.name()), name) != 0 || NamespaceOf(first) != service_namespace)
        return {};
    return first;
}

}  // namespace onvif
