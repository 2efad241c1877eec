#pragma once
// The XML namespaces of the answers and requests.

namespace onvif::ns {

inline constexpr char kSoap12[] = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr char kSoap11[] = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char kDevice[] = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr char kMedia[] = "http://www.onvif.org/ver10/media/wsdl";
inline constexpr char kSchema[] = "http://www.onvif.org/ver10/schema";
inline constexpr char kWsse[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr char kWsu[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
inline constexpr char kPasswordDigest[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
inline constexpr char kBase64Binary[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary";

}  // namespace onvif::ns
