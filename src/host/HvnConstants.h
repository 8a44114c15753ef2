#pragma once
// The host's well-known names: parameter types, the names of special component parameters and
// properties, and the texts the rule scripts report through. Scripts and stored components spell
// these exactly so.

namespace strand {

// Parameter types.
inline constexpr char16_t HVN_StringType[] = u"StringType";
inline constexpr char16_t HVN_LongType[] = u"LongType";
inline constexpr char16_t HVN_Int64Type[] = u"Int64Type";
inline constexpr char16_t HVN_DoubleType[] = u"DoubleType";
inline constexpr char16_t HVN_BoolType[] = u"BoolType";
inline constexpr char16_t HVN_ExpressionType[] = u"ExpressionType";
inline constexpr char16_t HVN_TextExpressionType[] = u"TextExpressionType";
inline constexpr char16_t HVN_GroupType[] = u"GroupType";
inline constexpr char16_t HVN_PasswordType[] = u"PasswordType";
inline constexpr char16_t HVN_URLType[] = u"URLType";
inline constexpr char16_t HVN_ClientURLType[] = u"ClientURLType";
inline constexpr char16_t HVN_DSNType[] = u"DSNType";
inline constexpr char16_t HVN_SQLQueryType[] = u"SQLQueryType";
inline constexpr char16_t HVN_UsernameType[] = u"UsernameType";
inline constexpr char16_t HVN_TextType[] = u"TextType";
inline constexpr char16_t HVN_ScriptType[] = u"ScriptType";
inline constexpr char16_t HVN_PerlScriptType[] = u"PerlScriptType";
inline constexpr char16_t HVN_FormatType[] = u"FormatType";
inline constexpr char16_t HVN_PositionType[] = u"PositionType";
inline constexpr char16_t HVN_PropertyPreviewType[] = u"PropertyPreviewType";
inline constexpr char16_t HVN_SOAPEndpointType[] = u"SOAPEndpointType";
inline constexpr char16_t HVN_RadarChartAxisType[] = u"RadarChartAxisType";

// What a password parameter shows instead of its value.
inline constexpr char16_t HVN_ObscuredPasswordText[] = u"********";

// Component-level parameters.
inline constexpr char16_t HVN_ComponentGUID[] = u"ComponentGUID";
inline constexpr char16_t HVN_ComponentGUIDUI[] = u"ComponentGUIDUI";
inline constexpr char16_t HVN_ComponentHelp[] = u"ComponentHelp";
inline constexpr char16_t HVN_ComponentHelpPurpose[] = u"ComponentHelpPurpose";
inline constexpr char16_t HVN_ComponentHelpDescription[] = u"ComponentHelpDescription";
inline constexpr char16_t HVN_ComponentHelpInputPort[] = u"ComponentHelpInputPort";
inline constexpr char16_t HVN_ComponentHelpPassPort[] = u"ComponentHelpPassPort";
inline constexpr char16_t HVN_ComponentHelpFailPort[] = u"ComponentHelpFailPort";
inline constexpr char16_t HVN_ComponentPath[] = u"ComponentPath";
inline constexpr char16_t HVN_ComponentRevision[] = u"ComponentRevision";
inline constexpr char16_t HVN_ComponentRunsOnClientUI[] = u"ComponentRunsOnClientUI";
inline constexpr char16_t HVN_ComponentCheckpointUI[] = u"ComponentCheckpointUI";
inline constexpr char16_t HVN_ComponentAttributes[] = u"ComponentAttributes";
inline constexpr char16_t HVN_ComponentComment[] = u"ComponentComment";
inline constexpr char16_t HVN_ComponentIcon[] = u"ComponentIcon";
inline constexpr char16_t HVN_ComponentUsage[] = u"ComponentUsage";
inline constexpr char16_t HVN_CustomErrorText[] = u"CustomErrorText";
inline constexpr char16_t HVN_DerivedFrom[] = u"DerivedFrom";
inline constexpr char16_t HVN_ProtocolComment[] = u"ProtocolComment";
inline constexpr char16_t HVN_ProtocolOptions[] = u"ProtocolOptions";
inline constexpr char16_t HVN_OnGeneralError[] = u"OnGeneralError";
inline constexpr char16_t HVN_OnGeneralErrorUI[] = u"OnGeneralErrorUI";
inline constexpr char16_t HVN_OnDataTypeError[] = u"OnDataTypeError";
inline constexpr char16_t HVN_OnDataTypeErrorUI[] = u"OnDataTypeErrorUI";
inline constexpr char16_t HVN_Registrant[] = u"Registrant";
inline constexpr char16_t HVN_RegistrantUI[] = u"RegistrantUI";
inline constexpr char16_t HVN_RegistrationDate[] = u"RegistrationDate";
inline constexpr char16_t HVN_RegistrationDateUI[] = u"RegistrationDateUI";
inline constexpr char16_t HVN_RegistrationVersion[] = u"RegistrationVersion";
inline constexpr char16_t HVN_DBRegistrantDateUI[] = u"DBRegistrantDateUI";
inline constexpr char16_t HVN_ProgIDUI[] = u"ProgIDUI";
inline constexpr char16_t HVN_PASS_PORT_EXPRESSION[] = u"PassPortExpression";
inline constexpr char16_t HVN_FAIL_PORT_EXPRESSION[] = u"FailPortExpression";
inline constexpr char16_t HVN_Source[] = u"Source";
// The obsolete name of the error-handling setting, still met in stored components.
inline constexpr char16_t HVN_DataActionOnError[] = u"DataActionOnError";
// The token that once stood for the installation's root folder in file settings.
inline constexpr char16_t HVN_RootToken[] = u"$(halvornroot)";

// The GUIDs of the protocol and subprotocol components.
inline constexpr char16_t HVN_ProtocolGUID[] = u"{6C1E4A52-90B3-4F0D-8C1A-3B2D5E7F9A01}";
inline constexpr char16_t HVN_SubprotocolGUID[] = u"{6C1E4A52-90B3-4F0D-8C1A-3B2D5E7F9A02}";

// What rule scripts report through, and the value a rule checks.
inline constexpr char16_t HVN_ValidationLegalValues[] = u"ValidationLegalValues";
inline constexpr char16_t HVN_ValidationDisabledDetails[] = u"ValidationDisabledDetails";
inline constexpr char16_t HVN_ValidationInvalidDetails[] = u"ValidationInvalidDetails";
inline constexpr char16_t HVN_ValidationCurrentParameter[] = u"ValidationCurrentParameter";

}  // namespace strand
