#include "remote/xml_answer.h"

#include "remote/ado_xml.h"

namespace zentro {

// The answer arrives as a string, which the text stream holds as Unicode already: an
// encoding named in the document's declaration does not apply any more.
Table loadXmlAnswer(std::string_view xml) { return readAdoXmlText(xml); }

}  // namespace zentro
