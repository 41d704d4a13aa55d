# fish completion for rotorwerk: commands, options, coding types and file names.
set -l commands encrypt decrypt keygen check trace attack
complete -c rotorwerk -f -n "not __fish_seen_subcommand_from $commands" -a "$commands"
complete -c rotorwerk -n "not __fish_seen_subcommand_from $commands" -s h -l help -d help
complete -c rotorwerk -n "not __fish_seen_subcommand_from $commands" -s V -l version -d version
# Every command
complete -c rotorwerk -n "__fish_seen_subcommand_from $commands" -s s -l settings -x -a "(__fish_complete_directories)" -d "settings directory"
complete -c rotorwerk -n "__fish_seen_subcommand_from $commands" -s h -l help -d help
complete -c rotorwerk -n "__fish_seen_subcommand_from encrypt decrypt keygen check attack" -s q -l quiet -d "no message on success"
# encrypt, decrypt, attack
complete -c rotorwerk -n "__fish_seen_subcommand_from encrypt decrypt attack" -s o -l output -r -d output
complete -c rotorwerk -n "__fish_seen_subcommand_from encrypt" -s l -l lang -x -a "en zh" -d language
complete -c rotorwerk -n "__fish_seen_subcommand_from encrypt trace" -s t -l type -x -a "RW-26001A RW-26001B" -d "coding type"
# keygen
complete -c rotorwerk -n "__fish_seen_subcommand_from keygen" -s r -l rotors -x -d "rotors, 1 to 10"
complete -c rotorwerk -n "__fish_seen_subcommand_from keygen" -s p -l plugs -x -d "plug pairs, 0 to 13"
complete -c rotorwerk -n "__fish_seen_subcommand_from keygen attack" -s f -l force -d "replace existing files"
complete -c rotorwerk -n "__fish_seen_subcommand_from keygen" -l start-only -d "a new start file only"
# check, trace, attack
complete -c rotorwerk -n "__fish_seen_subcommand_from check trace attack" -l json -d "one JSON document"
complete -c rotorwerk -n "__fish_seen_subcommand_from trace" -s n -l letters -x -d "letters to show"
complete -c rotorwerk -n "__fish_seen_subcommand_from trace" -l format -x -a "table tsv" -d format
complete -c rotorwerk -n "__fish_seen_subcommand_from attack" -l threads -x -d threads
complete -c rotorwerk -n "__fish_seen_subcommand_from attack" -l time-limit -x -d seconds
complete -c rotorwerk -n "__fish_seen_subcommand_from attack" -l crib -x -d "known text, TEXT or TEXT@N"
complete -c rotorwerk -n "__fish_seen_subcommand_from attack" -l language -x -a "en de fr es auto" -d language
