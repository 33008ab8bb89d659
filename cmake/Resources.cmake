# Links a file into a target as a resource of a given type and id, found at run time with
# platform::FindResource(type, id). The bytes are pulled in by the assembler's .incbin, so
# large files cost no code generation; a static registrar announces them before main.
function(mavrix_add_resource target)
  cmake_parse_arguments(RES "" "TYPE;ID;FILE" "" ${ARGN})
  set(symbol "mavrix_res_${RES_TYPE}_${RES_ID}")
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp")
  file(WRITE "${out}.in" "// Generated: resource ${RES_TYPE} ${RES_ID} from ${RES_FILE}
#include \"platform/Resources.h\"
__asm__(\".pushsection .rodata\\n\"
        \".global ${symbol}_begin\\n\"
        \".global ${symbol}_end\\n\"
        \".balign 16\\n\"
        \"${symbol}_begin:\\n\"
        \".incbin \\\"${RES_FILE}\\\"\\n\"
        \"${symbol}_end:\\n\"
        \".byte 0\\n\"
        \".popsection\\n\");
extern \"C\" const unsigned char ${symbol}_begin[];
extern \"C\" const unsigned char ${symbol}_end[];
namespace {
[[maybe_unused]] const bool registered = platform::RegisterResource(\"${RES_TYPE}\", ${RES_ID}, ${symbol}_begin,
                                                   static_cast<size_t>(${symbol}_end - ${symbol}_begin));
}
")
  configure_file("${out}.in" "${out}" COPYONLY)
  set_source_files_properties("${out}" PROPERTIES OBJECT_DEPENDS "${RES_FILE}")
  target_sources(${target} PRIVATE "${out}")
endfunction()
