# Writes OUTPUT with the program version and the git revision of SOURCE_DIR
# ("unknown" outside a git checkout, "+changes" after it when the tree
# differs from the commit), only when the text changes.
execute_process(COMMAND git -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR revision STREQUAL "")
  set(revision "unknown")
else()
  execute_process(COMMAND git -C ${SOURCE_DIR} diff --quiet HEAD -- RESULT_VARIABLE changed ERROR_QUIET)
  if(changed)
    string(APPEND revision "+changes")
  endif()
endif()
set(text "// Made by cmake/build_info.cmake.\n#include \"app/build_info.h\"\n\nnamespace build_info {\nconst char* const kVersion = \"${VERSION}\";\nconst char* const kRevision = \"${revision}\";\n}  // namespace build_info\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
