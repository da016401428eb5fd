# The layers hold: a file of a library that includes a header of a layer above
# (or of a library it does not link) does not compile. Each row builds one such
# file against the library alone, and passes when the compiler reports exactly
# that header as not found.
set(Q5N_LAYER_CHECKS
  "q5nformats link/PortIo.h"
  "q5nformats platform/Prompter.h"
  "q5nformats shell/PageWindow.h"
  "q5ndevice shell/ProgramHost.h"
  "q5ndevice windows/BusyScope.h"
  "q5ndevice pages/common/SettingPage.h"
  "q5nshell pages/common/SettingPage.h"
  "q5nshell windows/CompareWindow.h"
  "q5nshell app/PageRegistry.h"
  "q5npages windows/LinkWindow.h"
  "q5npages app/PageRegistry.h"
  "q5nwindows app/PageRegistry.h"
  "q5ntoolcore shell/AppContext.h"
  "q5nsimcore sim/KeyboardDecoder.h"
  "q5nkbdsim shell/PageWindow.h")
set(index 0)
foreach(check IN LISTS Q5N_LAYER_CHECKS)
  separate_arguments(check)
  list(GET check 0 library)
  list(GET check 1 header)
  math(EXPR index "${index} + 1")
  set(target q5nlayer_${index}_${library})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/layers/${target}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  add_library(${target} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${target} PRIVATE ${library})
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  string(REPLACE "/" "_" header_name ${header})
  add_test(NAME layer_${library}_without_${header_name}
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${target})
  string(REPLACE "." "\\." header_pattern ${header})
  # One build at a time in the build tree.
  set_tests_properties(layer_${library}_without_${header_name} PROPERTIES
    RESOURCE_LOCK q5nbuildtree TIMEOUT 300
    PASS_REGULAR_EXPRESSION "${header_pattern}: No such file|'${header_pattern}' file not found")
endforeach()
