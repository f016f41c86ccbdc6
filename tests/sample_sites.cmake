# The sample-sites server, started once for every test that needs it (fixture "sample_sites") and stopped
# after the last one; it ends by itself after 25 minutes should the stop never run. Its cloud-play test clip
# is made in the build tree. LANQI_SAMPLE_STATE is where the tests find its port.
set(LANQI_SAMPLE_STATE ${CMAKE_CURRENT_BINARY_DIR}/sample-sites)
add_test(NAME sample_sites_start
  COMMAND ${LANQI_SAMPLE_PYTHON} ${PROJECT_SOURCE_DIR}/tools/sample-sites/sitectl start ${LANQI_SAMPLE_STATE} --lifetime 1500
    --cache-dir ${CMAKE_CURRENT_BINARY_DIR}/sample-cache)
add_test(NAME sample_sites_stop
  COMMAND ${LANQI_SAMPLE_PYTHON} ${PROJECT_SOURCE_DIR}/tools/sample-sites/sitectl stop ${LANQI_SAMPLE_STATE})
set_tests_properties(sample_sites_start PROPERTIES FIXTURES_SETUP sample_sites)
set_tests_properties(sample_sites_stop PROPERTIES FIXTURES_CLEANUP sample_sites)
