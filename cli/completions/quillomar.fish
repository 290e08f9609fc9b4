# fish completion for quillomar: commands, each command's options, and file names for paths
# and --password-file.
set -l commands encrypt decrypt info help

complete -c quillomar -f
complete -c quillomar -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'Encrypt files and folders'
complete -c quillomar -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'Decrypt containers'
complete -c quillomar -n "not __fish_seen_subcommand_from $commands" -a info -d 'Tell what a file is'
complete -c quillomar -n "not __fish_seen_subcommand_from $commands" -a help -d 'Show the help of a command'
complete -c quillomar -n "not __fish_seen_subcommand_from $commands" -s h -l help -d 'Show the help'
complete -c quillomar -n "not __fish_seen_subcommand_from $commands" -s V -l version -d 'Show the version'
complete -c quillomar -n "__fish_seen_subcommand_from help" -a 'encrypt decrypt info'

complete -c quillomar -n "__fish_seen_subcommand_from encrypt" -s x -l exe -d 'Also make a self-decrypting program FILE.exe'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt" -l no-exe -d 'Make no self-decrypting program'
complete -c quillomar -n "__fish_seen_subcommand_from decrypt" -s k -l keep -d 'Keep the container'
complete -c quillomar -n "__fish_seen_subcommand_from decrypt" -l no-keep -d 'Delete the container'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt" -s p -l password-file -r -F -d 'Run without questions, the password from FILE'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt" -s y -l yes -d 'Replace existing output files'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt" -s n -l no -d 'Leave existing output files, skip the file'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt" -s s -l stop-on-error -d 'Stop at the first failed file'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt" -s q -l quiet -d 'Show no progress'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt" -l progress -d 'Show progress even when standard error is no terminal'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt" -s j -l jobs -x -d 'Work on N files side by side'
complete -c quillomar -n "__fish_seen_subcommand_from info" -l json -d 'Machine-readable output'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt info" -s h -l help -d 'Show the help of the command'
complete -c quillomar -n "__fish_seen_subcommand_from encrypt decrypt info" -F
