# Real Windows PE files, made with the MinGW binutils: DLLs holding a version
# resource, one holding other resources only, and one without any resource.
#   velmora_add_pe_fixtures (TARGET FOLDER)   TARGET makes them in FOLDER
find_program (VELMORA_WINDRES x86_64-w64-mingw32-windres REQUIRED)
find_program (VELMORA_MINGW_LD x86_64-w64-mingw32-ld REQUIRED)
find_program (VELMORA_MINGW_AS x86_64-w64-mingw32-as REQUIRED)

set (VELMORA_PE_FIXTURE_SOURCES "${CMAKE_CURRENT_LIST_DIR}/../tests/catalog/fixtures")

function (velmora_link_pe_fixture output object)
    add_custom_command (OUTPUT "${output}"
                        COMMAND "${VELMORA_MINGW_LD}" --dll -e 0 "${object}" -o "${output}"
                        DEPENDS "${object}"
                        VERBATIM)
endfunction()

function (velmora_pe_fixture_from_rc fixture_dir name rc_file)
    set (object "${fixture_dir}/${name}.res.o")
    add_custom_command (OUTPUT "${object}"
                        COMMAND "${VELMORA_WINDRES}" --preprocessor=cat -O coff "${rc_file}" -o "${object}"
                        DEPENDS "${rc_file}"
                        VERBATIM)
    velmora_link_pe_fixture ("${fixture_dir}/${name}.dll" "${object}")
endfunction()

function (velmora_add_pe_fixtures target fixture_dir)
    file (MAKE_DIRECTORY "${fixture_dir}")
    set (fixture_files)

    foreach (fixture_version 1.0.10.0 2.3.0.7 65535.65535.65535.65535 0.0.0.0)
        string (REPLACE "." "," FIXTURE_VERSION_COMMAS "${fixture_version}")
        set (FIXTURE_VERSION "${fixture_version}")
        set (rc_file "${fixture_dir}/version-${fixture_version}.rc")
        configure_file ("${VELMORA_PE_FIXTURE_SOURCES}/version.rc.in" "${rc_file}" @ONLY)
        velmora_pe_fixture_from_rc ("${fixture_dir}" "version-${fixture_version}" "${rc_file}")
        list (APPEND fixture_files "${fixture_dir}/version-${fixture_version}.dll")
    endforeach()

    velmora_pe_fixture_from_rc ("${fixture_dir}" no-version "${VELMORA_PE_FIXTURE_SOURCES}/no-version.rc")
    list (APPEND fixture_files "${fixture_dir}/no-version.dll")

    file (WRITE "${fixture_dir}/empty.s" "")
    add_custom_command (OUTPUT "${fixture_dir}/empty.o"
                        COMMAND "${VELMORA_MINGW_AS}" "${fixture_dir}/empty.s" -o "${fixture_dir}/empty.o"
                        DEPENDS "${fixture_dir}/empty.s"
                        VERBATIM)
    velmora_link_pe_fixture ("${fixture_dir}/no-resources.dll" "${fixture_dir}/empty.o")
    list (APPEND fixture_files "${fixture_dir}/no-resources.dll")

    add_custom_target (${target} DEPENDS ${fixture_files})
endfunction()
