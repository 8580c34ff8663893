# bench_office: a warm helper (start, new document, paste of a 20-page page
# with 20 pictures, filtered HTML export) against one cold
# "soffice --headless --convert-to html" of the same page.
find_program(VANTOLI_SOFFICE NAMES soffice PATHS /usr/lib/libreoffice/program /usr/bin NO_DEFAULT_PATH)
if(NOT VANTOLI_SOFFICE)
  find_program(VANTOLI_SOFFICE NAMES soffice REQUIRED)
endif()
add_executable(bench_office bench_office.cpp)
target_link_libraries(bench_office PRIVATE vantoli_office Qt6::Gui)
target_compile_definitions(bench_office PRIVATE
  VANTOLI_OFFICE_HELPER="$<TARGET_FILE:vantoli-office>"
  VANTOLI_SOFFICE="${VANTOLI_SOFFICE}")
add_dependencies(bench_office vantoli-office)
