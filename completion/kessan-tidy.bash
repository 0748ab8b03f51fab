# Bash completion for kessan-tidy: its options and their values, as its --help lists them
# ("  --format csv|tsv|jsonl  ...", "  -h, --help  ..."); file names otherwise.
_kessan_tidy() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} help values
    help=$("${COMP_WORDS[0]}" --help 2>/dev/null) || return
    values=$(awk -v option="$prev" '/^  -/ && $1 == option && $2 ~ /\|/ { print $2 }' <<<"$help")
    if [[ -n $values ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${values//|/ }" -- "$cur")
    elif [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(awk '/^  -/ {
            for (i = 1; i <= NF && $i ~ /^-/; i++) { sub(/,$/, "", $i); print $i } }' <<<"$help")" \
            -- "$cur")
    fi
}
complete -o default -F _kessan_tidy kessan-tidy
