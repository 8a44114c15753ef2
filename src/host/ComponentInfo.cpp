#include "host/ComponentInfo.h"

#include "host/ArrayValues.h"

namespace strand {

iParameter* ComponentInfo::parameter(const String& name) const {
    return dynamic_cast<iParameter*>(m_parameters->find(name));
}

bool ComponentInfo::getParameter(const String& name, ParameterFacts& facts) const {
    iParameter* found = parameter(name);
    if (!found)
        return false;
    facts.help = found->getHelp();
    facts.type = found->getType();
    facts.flags = found->getFlags();
    facts.legalValuesEnforced = found->getLegalValuesAreEnforced();
    facts.value = &m_parameters->find(name)->getRawValue();
    return true;
}

void ComponentInfo::defineParameter(const String& name, const String& type, const String& help,
                                    int32_t flags) {
    iParameter* target = parameter(name);
    if (!target) {
        iProperty* property = m_parameters->define(name, StringValue(), 0);
        target = dynamic_cast<iParameter*>(property);
        if (!target) {
            m_parameters->remove(name);
            throw Exception(u"The component's parameter collection cannot hold parameters");
        }
    }
    target->setType(type);
    target->setHelp(help);
    target->setFlags(flags);
}

bool ComponentInfo::getLegalValues(const String& name, Array<String>& out) const {
    iParameter* found = parameter(name);
    if (!found || found->getStaticLegalValues().isEmpty())
        return false;
    out = found->getStaticLegalValues();
    return true;
}

void ComponentInfo::setLegalValues(const String& name, const Array<String>& values, bool enforced) {
    iParameter* found = parameter(name);
    if (!found)
        throw Exception(u"The component has no parameter '%ls'", name);
    found->setLegalValues(values);
    found->setLegalValuesAreEnforced(enforced);
}

void ComponentInfo::setDataParameter(const String& name) {
    // Its value comes from the records from now on: every verdict on it is stale.
    if (iParameter* found = parameter(name))
        found->revalidate();
}

void ComponentInfo::setOutputType(const String& name, const std::string& tagName) {
    for (auto& [output, tag] : m_outputs) {
        if (output.equalsIgnoreCase(name)) {
            tag = tagName;
            return;
        }
    }
    m_outputs.emplace_back(name, tagName);
}

std::string ComponentInfo::getOutputType(const String& name) const {
    for (const auto& [output, tag] : m_outputs) {
        if (output.equalsIgnoreCase(name))
            return tag;
    }
    return std::string();
}

iPropertyCollection* CObjectTransportNode::getPropertyList() {
    if (auto* info = findAs<iComponentInfo>(m_object.get()))
        return info->getParameterCollection();
    if (!m_empty)
        m_empty = CPropertyCollection::newInstance();
    return m_empty.get();
}

}  // namespace strand
